#include "Options.h"

namespace Options {

namespace {

constexpr Spec kModes[] = {
    {Mode::App, "(none)", nullptr, "", "start the tray application"},
    {Mode::Parse, "--parse", nullptr, "",
     "read a usage screen of the claude tool from standard input\n"
     "and print one line per limit"},
    {Mode::Check, "--check", nullptr, "",
     "run the claude tool once and print one line per limit;\n"
     "exit status 0 when a limit was read, 1 otherwise"},
    {Mode::Status, "--status", nullptr, "[--json] [--account NAME]",
     "print what the running app last read, without running\n"
     "claude; exit status 0 for a good reading at most 15\n"
     "minutes old, 1 otherwise, 2 when it cannot be read;\n"
     "the tray's account, or the one named"},
    {Mode::Waybar, "--waybar", nullptr, "[--watch] [--account NAME]",
     "print it as a line of JSON for a Waybar custom module;\n"
     "with --watch, again at each reading and every minute"},
    {Mode::StatusLine, "--statusline", nullptr, "[--install [--force] | --uninstall]",
     "print a line for Claude Code's status line from the JSON\n"
     "it writes on standard input, and pass its limits to the\n"
     "running app; --install makes Brimwatch Claude Code's\n"
     "status line in its settings.json (--force: even from a\n"
     "build tree), --uninstall undoes it"},
    {Mode::History, "--history", nullptr, "[--days N] [--csv] [--account NAME]",
     "print the readings the app has kept (the last 7 days),\n"
     "oldest first, as columns or as CSV; every account's,\n"
     "or the one named"},
    {Mode::Breakdown, "--breakdown", nullptr,
     "[--window session|week|Nd] [--by project|model|session] [--json|--csv] [--account NAME]",
     "what used the session (the week, the last N days): each\n"
     "project's (model's, session's) messages, tokens and share,\n"
     "an estimate from Claude Code's transcripts; exit status 0\n"
     "with rows, 1 with none, 2 when they can't be read"},
    {Mode::Accounts, "--accounts", nullptr, "",
     "list the Claude accounts Brimwatch reads: each one's\n"
     "name and the claude tool's config folder"},
    {Mode::AddAccount, "--add-account", "NAME", "DIR",
     "read another account too: the tool's config folder DIR\n"
     "(its CLAUDE_CONFIG_DIR), which holds its login"},
    {Mode::RemoveAccount, "--remove-account", "NAME", "", "stop reading an account"},
    {Mode::Snapshot, "--snapshot", "FOLDER", "[--all-states]",
     "render the desktop card and the panel, light and dark,\n"
     "into four PNG files in FOLDER (with --all-states, in\n"
     "each of their states)"},
    {Mode::MakeIcon, "--make-icon", "FILE", "",
     "draw the application icon into a 1024x1024 PNG file"},
    {Mode::Help, "--help", nullptr, "", "show this help"},
    {Mode::Version, "--version", nullptr, "", "show the version"},
};

constexpr int kUsage = 20; // the width of the help's first column, after two spaces

} // namespace

std::span<const Spec> modes() {
    return kModes;
}

std::optional<QString> Invocation::after(const QString& option) const {
    const qsizetype i = rest.indexOf(option);
    return i < 0 ? std::nullopt : std::optional(rest.value(i + 1));
}

Invocation parse(const QStringList& args) {
    const QString first = args.value(1);
    for (const Spec& m : kModes) {
        if (m.mode == Mode::App || first != QLatin1String(m.flag))
            continue;
        if (!m.value)
            return {m.mode, {}, args.mid(2)};
        if (args.size() >= 3)
            return {m.mode, args[2], args.mid(3)};
    }
    return {};
}

QString helpText() {
    QString out = QStringLiteral("Usage: brimwatch [MODE]\n"
                                 "Shows how much of your Claude Code plan limits is used, in the "
                                 "system tray.\n\nModes:\n");
    for (const Spec& m : kModes) {
        QString usage = QLatin1String(m.flag);
        if (m.value)
            usage += u' ' + QLatin1String(m.value);
        if (*m.options)
            usage += u' ' + QLatin1String(m.options);
        const QStringList lines = QString::fromUtf8(m.help).split(u'\n');
        out += QStringLiteral("  ") + usage;
        // A long usage stands on a line of its own.
        const QString indent = u'\n' + QString(kUsage + 2, u' ');
        out += usage.size() <= kUsage - 2 ? QString(kUsage - usage.size(), u' ') : indent;
        out += lines.join(indent) + u'\n';
    }
    return out;
}

QString versionText() {
    return QStringLiteral("Brimwatch " BRIMWATCH_VERSION "\n");
}

} // namespace Options
