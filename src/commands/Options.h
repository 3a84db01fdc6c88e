#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

// The command line: one table of the modes and their options, read by one parser, and the
// help generated from it. Only the first argument chooses the mode, exactly and
// case-sensitively; a mode that takes a value without one is no mode, and starts the app.
namespace Options {

enum class Mode {
    App,
    Parse,
    Check,
    Status,
    Waybar,
    StatusLine,
    History,
    Breakdown,
    Accounts,
    AddAccount,
    RemoveAccount,
    Snapshot,
    MakeIcon,
    Help,
    Version
};

struct Spec {
    Mode mode;
    const char* flag;    // "--status"; "(none)" for the app
    const char* value;   // what it takes after it ("FILE"), or nullptr
    const char* options; // its options as shown ("[--json]"), or ""
    const char* help;    // what it does, in lines of the help
};

// Every mode, in the order of the help.
std::span<const Spec> modes();

// The arguments understood: the mode, its value, and what follows them.
struct Invocation {
    Mode mode = Mode::App;
    QString value;
    QStringList rest; // the arguments after the mode (and its value)

    // Whether the first argument after the mode is this option ("--json", "--watch").
    bool first(const QString& option) const { return rest.value(0) == option; }
    bool has(const QString& option) const { return rest.contains(option); }
    // The argument after an option, if the option is there ("--days 3").
    std::optional<QString> after(const QString& option) const;
};

Invocation parse(const QStringList& args); // args[0] is the program
QString helpText();
QString versionText();

} // namespace Options
