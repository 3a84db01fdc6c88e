#include "support/Table.h"
#include "support/TestTime.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

QString utcText(Instant t) {
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch());
    return QDateTime::fromSecsSinceEpoch(s.count(), QTimeZone::utc())
        .toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

// "now (UTC) | reset text" in, the instant it names (UTC) out, or "-".
QString resolved(const QString& row) {
    const qsizetype bar = row.indexOf(u" | "_s);
    const QDateTime now = QDateTime::fromString(row.left(bar), u"yyyy-MM-dd HH:mm:ss"_s);
    const auto at = UsageParser::resetDate(
        row.mid(bar + 3),
        Instant(std::chrono::seconds(
            QDateTime(now.date(), now.time(), QTimeZone::utc()).toSecsSinceEpoch())));
    return at ? utcText(*at) : u"-"_s;
}

TEST(ResetDate, Table) {
    const Row rows[] = {
        // Riga is three hours ahead of UTC in October, two in winter.
        {"2025-10-10 20:00:00 | Oct 11 at 1:19am (Europe/Riga)", "2025-10-10 22:19:00"},
        {"2025-10-12 12:00:00 | Oct 11 at 1:19am (Europe/Riga)", "2025-10-10 22:19:00"},
        {"2025-12-30 12:00:00 | Jan 2 at 9am (Europe/Riga)", "2026-01-02 07:00:00"},
        {"2025-10-10 20:00:00 | 9:59pm (Europe/Riga)", "2025-10-11 18:59:00"},
        {"2025-10-10 18:59:30 | 9:59pm (Europe/Riga)", "2025-10-10 18:59:00"},
        // The forms the tool writes.
        {"2025-10-10 20:00:00 | Oct 11 at 1am (Europe/Riga)", "2025-10-10 22:00:00"},
        {"2025-10-10 20:00:00 | Oct 11, 1:19am (Europe/Riga)", "2025-10-10 22:19:00"},
        {"2025-10-10 20:00:00 | Oct 11, 1am (Europe/Riga)", "2025-10-10 22:00:00"},
        {"2025-10-10 20:00:00 | Oct 11 1:19am (Europe/Riga)", "2025-10-10 22:19:00"},
        {"2025-10-10 20:00:00 | Oct 11 1am (Europe/Riga)", "2025-10-10 22:00:00"},
        {"2025-10-10 20:00:00 | Oct 11 at 1:19 AM (Europe/Riga)", "2025-10-10 22:19:00"},
        {"2025-10-10 20:00:00 | Oct 11 at 1:19Am (Europe/Riga)", "2025-10-10 22:19:00"},
        {"2025-10-10 20:00:00 | Oct 11 at 1:19pm (Europe/Riga)", "2025-10-11 10:19:00"},
        {"2025-10-10 20:00:00 | Oct 11 at 12am (Europe/Riga)", "2025-10-10 21:00:00"},
        {"2025-10-10 20:00:00 | Oct 11 at 12pm (Europe/Riga)", "2025-10-11 09:00:00"},
        {"2025-10-10 20:00:00 |  \tOct 11 at 1:19am ( Europe/Riga )\t ", "2025-10-10 22:19:00"},
        {"2025-10-10 20:00:00 | Oct 11 at 1:19am (UTC)", "2025-10-11 01:19:00"},
        {"2025-10-10 20:00:00 | 10pm (UTC)", "2025-10-10 22:00:00"},
        // A written year is taken as it stands: no rollover, whatever now is.
        {"2026-12-30 12:00:00 | Jan 2, 2027, 3pm (Europe/Riga)", "2027-01-02 13:00:00"},
        {"2026-12-30 12:00:00 | Jan 2, 2027, 3:05pm (Europe/Riga)", "2027-01-02 13:05:00"},
        {"2026-12-30 12:00:00 | Jan 2, 2027 at 3pm (Europe/Riga)", "2027-01-02 13:00:00"},
        {"2026-12-30 12:00:00 | Jan 2, 2027 at 3:05pm (Europe/Riga)", "2027-01-02 13:05:00"},
        {"2026-12-30 12:00:00 | Oct 11, 2025, 1:19am (Europe/Riga)", "2025-10-10 22:19:00"},
        {"2025-10-10 20:00:00 | Feb 29, 2028, 1am (UTC)", "2028-02-29 01:00:00"},
        {"2025-10-10 20:00:00 | Feb 29, 2027, 1am (UTC)", "-"},
        {"2025-10-10 20:00:00 | Jan 2, 2027,3pm (UTC)", "-"},
        // Years past what every reader of the app's files holds: unparsed, not wrapped round.
        {"2025-10-10 20:00:00 | Dec 9, 2300, 6pm (UTC)", "-"},
        {"2025-10-10 20:00:00 | Dec 9, 1600, 6pm (UTC)", "-"},
        {"2025-10-10 20:00:00 | Oct 2, 2096, 7:10am (UTC)", "-"},
        {"2025-10-10 20:00:00 | Oct 2, 2096, 7am (UTC)", "2096-10-02 07:00:00"},
        // Unreadable.
        {"2025-10-10 20:00:00 | ", "-"},
        {"2025-10-10 20:00:00 | in 3 hours", "-"},
        {"2025-10-10 20:00:00 | Oct 11 at 13:19 (Europe/Riga)", "-"},
        {"2025-10-10 20:00:00 | Okt 11 at 1:19am (Europe/Riga)", "-"},
        {"2025-10-10 20:00:00 | Oct 11 at 1:19am tomorrow (Europe/Riga)", "-"},
        {"2025-10-10 20:00:00 | Oct 32 at 1am (UTC)", "-"},
        {"2025-10-10 20:00:00 | soon (Mars/Base)", "-"},
        {"2025-10-10 20:00:00 | Oct 11 at 1:19am ()", "-"},
        // Exactly 48 hours back stays in this year; a second more moves to the next.
        {"2025-10-12 22:19:00 | Oct 11 at 1:19am (Europe/Riga)", "2025-10-10 22:19:00"},
        {"2025-10-12 22:19:01 | Oct 11 at 1:19am (Europe/Riga)", "2026-10-10 22:19:00"},
        // A time alone exactly 60 s back is tomorrow's; 59 s back is today's.
        {"2025-10-10 19:00:00 | 9:59pm (Europe/Riga)", "2025-10-11 18:59:00"},
        {"2025-10-10 18:59:59 | 9:59pm (Europe/Riga)", "2025-10-10 18:59:00"},
        // The year is Riga's: already 2026 there while UTC is still in 2025.
        {"2025-12-31 22:10:00 | Dec 31 at 11pm (Europe/Riga)", "2026-12-31 21:00:00"},
        // 3:30 does not exist on 29 March 2026 (4:00 follows), and is twice on 25 October.
        {"2026-03-28 12:00:00 | 3:30am (Europe/Riga)", "2026-03-29 01:00:00"},
        {"2026-10-24 12:00:00 | 3:30am (Europe/Riga)", "2026-10-25 00:30:00"},
    };
    checkTable(rows, resolved);
}

TEST(ResetDate, UnknownZoneNamesReadTheTimeInTheSystemZone) {
    const Instant now = utc(2025, 10, 10, 20, 0);
    const auto plain = UsageParser::resetDate(u"Oct 11 at 1:19am"_s, now);
    ASSERT_TRUE(plain.has_value());
    for (const QString& zone : {u"(Mars/Base)"_s, u"(UTC+3)"_s})
        EXPECT_EQ(UsageParser::resetDate(u"Oct 11 at 1:19am "_s + zone, now), plain) << zone;
}

} // namespace
