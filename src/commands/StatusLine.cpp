#include "StatusLine.h"

#include "RunningApp.h"
#include "StatusLineSetup.h"
#include "files/Paths.h"
#include "platform/AppBusNames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace StatusLineCommand {

Outcome outcome(const QByteArray& input, const UsageFile::File& file, Instant now, bool colour) {
    StatusLine::Document d;
    if (input.size() > StatusLine::kMaxInput)
        d.problems << QStringLiteral("the input is over 1 MB");
    else
        d = StatusLine::read(input, now);
    QString err;
    for (const QString& p : d.problems)
        err += QStringLiteral("brimwatch: ") + p + u'\n';
    QString line = StatusLine::line(d.windows, now, colour);
    if (line.isEmpty() && file.snapshot && UsageFile::fresh(*file.snapshot, now))
        line = StatusLine::line(StatusLine::fromRows(file.snapshot->limits), now, colour);
    if (line.isEmpty())
        line = d.readable && !d.planLimits ? QStringLiteral("◔ no plan limits")
                                           : QStringLiteral("◔ no reading");
    return {{line + u'\n', err, 0}, d.windows};
}

QByteArray readDocument(int fd, qint64 maxBytes, int quiet, int atMost) {
    QByteArray in;
    QElapsedTimer clock;
    clock.start();
    bool whole = false; // what came so far is a JSON document
    while (in.size() < maxBytes) {
        const qint64 left = atMost - clock.elapsed();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(whole ? std::min<qint64>(quiet, left) : left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break; // the time is up, or quiet after a whole document
        char buf[65536];
        const ssize_t n =
            ::read(fd, buf, size_t(std::min<qint64>(sizeof buf, maxBytes - in.size())));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break; // the end
        in.append(buf, qsizetype(n));
        // Parsed only when it may be whole: an object ends with its brace.
        QJsonParseError error{};
        whole = in.trimmed().endsWith('}') &&
                (QJsonDocument::fromJson(in, &error), error.error == QJsonParseError::NoError);
    }
    return in;
}

int run(const Options::Invocation& args, int argc, char** argv) {
    if (args.first(QStringLiteral("--install"))) {
        const auto tree = StatusLineSetup::buildTree(
            QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
        if (tree && !args.has(QStringLiteral("--force")))
            return print({{}, StatusLineSetup::fromBuildTree(*tree), 1});
        return print(StatusLineSetup::install(StatusLineSetup::command()));
    }
    if (args.first(QStringLiteral("--uninstall")))
        return print(StatusLineSetup::uninstall(StatusLineSetup::command()));
    // A longer one is known as such.
    const QByteArray in = readDocument(STDIN_FILENO, StatusLine::kMaxInput + 1);
    const Instant now = std::chrono::system_clock::now();
    const bool colour = qEnvironmentVariableIsEmpty("NO_COLOR");
    const Outcome o = outcome(in, UsageFile::read(Paths::usageJson(), now), now, colour);
    print(o.report); // first: Claude Code shows it whatever the app does
    if (!o.send.empty()) {
        // The bus may be slow or hung while connecting, which no call timeout covers: the
        // whole exchange gets the deadline, and Claude Code never waits on it.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(AppBusNames::kTimeout));
            std::_Exit(0);
        }).detach();
        QCoreApplication app(argc, argv);
        // The account is the one whose folder the Claude Code that runs this uses.
        QVariantMap report = StatusLine::toMap(o.send);
        report.insert(QStringLiteral("configDir"), qEnvironmentVariable("CLAUDE_CONFIG_DIR"));
        RunningApp::call(QStringLiteral("ReportLimits"), {report});
        RunningApp::end(0);
    }
    return 0;
}

} // namespace StatusLineCommand
