#include "Check.h"

#include "Output.h"
#include "Parse.h"
#include "cli/ClaudeCLI.h"

#include <QCoreApplication>

#include <csignal>

namespace CheckCommand {

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

void onStopSignal(int sig) {
    gStopSignal = sig;
    ClaudeCLI::stopAll();
}

} // namespace

Report report(const Reading& reading, Instant now) {
    if (reading.limits.isEmpty())
        return {QStringLiteral("error: ") + reading.error.value_or(QString()) + u'\n', false};
    return {ParseCommand::limitLines(reading.limits, now), true};
}

int run(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The tool runs in a process group of its own, out of reach of the terminal's ^C:
    // an interrupted check stops it, then ends as the signal says.
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, onStopSignal);
    const ToolRun run = ClaudeCLI::run();
    const Instant now = std::chrono::system_clock::now(); // once the tool has answered
    const Reading reading = Reading::of(run, now);
    if (!gStopSignal)
        writeText(stdout, report(reading, now).text);
    ClaudeCLI::settle(); // what the tool left behind is gone before we are
    if (const int sig = gStopSignal) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
    return reading.limits.isEmpty() ? 1 : 0;
}

} // namespace CheckCommand
