#include "Entry.h"

#include "usage/Fmt.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QTimeZone>

#include <charconv>
#include <cmath>

namespace Entry {

Mode dispatch(const QStringList& args) {
    const qsizetype n = args.size();
    const QString a1 = n >= 2 ? args[1] : QString();
    if (n >= 3 && a1 == u"--make-icon")
        return Mode::MakeIcon;
    if (n >= 2 && a1 == u"--parse")
        return Mode::Parse;
    if (n >= 2 && a1 == u"--check")
        return Mode::Check;
    if (n >= 2 && a1 == u"--status")
        return Mode::Status;
    if (n >= 2 && a1 == u"--waybar")
        return Mode::Waybar;
    if (n >= 2 && a1 == u"--history")
        return Mode::History;
    if (n >= 3 && a1 == u"--snapshot")
        return Mode::Snapshot;
    if (n >= 2 && a1 == u"--help")
        return Mode::Help;
    if (n >= 2 && a1 == u"--version")
        return Mode::Version;
    return Mode::App;
}

QString sampleText() {
    return QStringLiteral(
        "Current session: 82% used · resets Oct 11 at 1:19am (Europe/Riga)\n"
        "Current week (all models): 67% used · resets Oct 14 at 9:59pm (Europe/Riga)\n"
        "Current week (Fable): 96% used · resets Oct 14 at 9:59pm (Europe/Riga)");
}

QString formatPercent(double percent) {
    if (!std::isfinite(percent))
        return QString::number(percent);
    char buf[400]; // fixed notation of the largest double needs 309 digits
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, percent, std::chars_format::fixed);
    if (ec != std::errc())
        return QString::number(percent, 'f', 1);
    QString s = QString::fromLatin1(buf, end - buf);
    if (!s.contains(u'.'))
        s += QStringLiteral(".0");
    return s;
}

QString limitLines(const QList<Limit>& limits, Instant now) {
    QString out;
    for (const Limit& l : limits) {
        out += l.title + QStringLiteral(" | ") + formatPercent(l.percent) + QStringLiteral("% | ");
        if (l.resetsAt) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                l.resetsAt->time_since_epoch());
            const QDateTime utc = QDateTime::fromMSecsSinceEpoch(ms.count(), QTimeZone::utc());
            out += QStringLiteral("in ") + Fmt::countdown(*l.resetsAt, now) + QStringLiteral(" (") +
                   utc.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000)");
        } else {
            out += QStringLiteral("unparsed: ") + l.resetText.value_or(QStringLiteral("-"));
        }
        out += u'\n';
    }
    return out;
}

QString parseReport(const QString& text, Instant now) {
    const QList<Limit> limits = UsageParser::parse(text, now);
    if (limits.isEmpty())
        return QStringLiteral("no rows · ") + UsageParser::explain(text) + u'\n';
    return limitLines(limits, now);
}

QString parseInput(const std::function<QByteArray()>& read, const std::function<Instant()>& clock) {
    const QString text = QString::fromUtf8(read()); // invalid UTF-8 becomes U+FFFD
    return parseReport(text, clock());
}

CheckReport checkReport(const Reading& reading, Instant now) {
    if (reading.limits.isEmpty())
        return {QStringLiteral("error: ") + reading.error.value_or(QString()) + u'\n', false};
    return {limitLines(reading.limits, now), true};
}

QString helpText() {
    return QStringLiteral(
        "Usage: brimwatch [MODE]\n"
        "Shows how much of your Claude Code plan limits is used, in the system tray.\n"
        "\n"
        "Modes:\n"
        "  (none)              start the tray application\n"
        "  --parse             read a usage screen of the claude tool from standard input\n"
        "                      and print one line per limit\n"
        "  --check             run the claude tool once and print one line per limit;\n"
        "                      exit status 0 when a limit was read, 1 otherwise\n"
        "  --status [--json]   print what the running app last read, without running\n"
        "                      claude; exit status 0 for a good reading at most 15\n"
        "                      minutes old, 1 otherwise, 2 when it cannot be read\n"
        "  --waybar [--watch]  print it as a line of JSON for a Waybar custom module;\n"
        "                      with --watch, again at each reading and every minute\n"
        "  --history [--days N] [--csv]\n"
        "                      print the readings the app has kept (the last 7 days),\n"
        "                      oldest first, as columns or as CSV\n"
        "  --snapshot FOLDER [--all-states]\n"
        "                      render the desktop card and the panel, light and dark,\n"
        "                      into four PNG files in FOLDER (with --all-states, in\n"
        "                      each of their states)\n"
        "  --make-icon FILE    draw the application icon into a 1024x1024 PNG file\n"
        "  --help              show this help\n"
        "  --version           show the version\n");
}

QString versionText() {
    return QStringLiteral("Brimwatch " BRIMWATCH_VERSION "\n");
}

} // namespace Entry
