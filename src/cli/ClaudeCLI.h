#pragma once

#include "CLIError.h"
#include "Reading.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class QObject;

// Finding and running the user's `claude` tool.
namespace ClaudeCLI {

using std::chrono::milliseconds;

// What tests may replace; the defaults are the application's.
struct Options {
    QString loginShell;                // empty: the user's shell from the password database
    milliseconds shellTimeout{10'000}; // a login script that never ends does not block a refresh
    milliseconds watchdog{60'000};     // then the tool's process group gets SIGTERM
    milliseconds killGrace{5'000};     // then SIGKILL, if it is still there
    qsizetype keep = 1 << 20;          // output kept; the rest is read and dropped
    QString configDir; // the account's CLAUDE_CONFIG_DIR; empty for the tool's default
};

// The model name the tool is started with (the tool may repeat it in its errors).
QString placeholderModel();

// The well-known folders, "~" expanded once on first use.
const QStringList& searchPaths();

// Where the product page tells how to install Claude Code.
inline constexpr char kInstallPage[] = "https://claude.com/product/claude-code";

// The absolute path of an executable `claude`, searched anew on each call: the well-known
// folders, the Node versions, the app's own PATH, then the login shell.
std::optional<QString> find(const Options& options = {});

// The tool's whole environment: a fixed few variables, and the account's config folder if any.
QProcessEnvironment environment(const QString& executable, const QString& configDir);

// Runs the tool once with the fixed arguments and environment; blocks until it ends. What
// it leaves running in its process group is stopped after it exits.
ToolRun run(const Options& options = {});

// run() and the parsing of its output on a pool thread; done(reading) is then called once
// on context's thread, unless context has been destroyed by then.
void usage(QObject* context, std::function<void(Reading)> done, Options options = {});

// Ends running tools at once (when the application quits, or --check is interrupted).
// Safe to call from a signal handler.
void stopAll();

// Waits, up to the kill grace, for what finished tools left behind to be stopped.
void settle(const Options& options = {});

} // namespace ClaudeCLI
