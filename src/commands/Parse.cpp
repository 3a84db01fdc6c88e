#include "Parse.h"

#include "Output.h"
#include "usage/Fmt.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QTimeZone>

#include <charconv>
#include <cmath>

namespace ParseCommand {

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

QString report(const QString& text, Instant now) {
    const QList<Limit> limits = UsageParser::parse(text, now);
    if (limits.isEmpty())
        return QStringLiteral("no rows · ") + UsageParser::explain(text) + u'\n';
    return limitLines(limits, now);
}

QString fromInput(const std::function<QByteArray()>& read, const std::function<Instant()>& clock) {
    const QString text = QString::fromUtf8(read()); // invalid UTF-8 becomes U+FFFD
    return report(text, clock());
}

int run() {
    writeText(stdout, fromInput([] { return readInput(); },
                                [] { return std::chrono::system_clock::now(); }));
    return 0;
}

} // namespace ParseCommand
