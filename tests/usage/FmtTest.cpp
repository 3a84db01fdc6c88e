#include "usage/Fmt.h"
#include "support/Table.h"
#include "support/TestTime.h"

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

TEST(Fmt, CountdownToSecondsAhead) {
    const Row rows[] = {
        {"-5", "now"},   {"0", "now"},       {"0.5", "now"},     {"1", "1m"},
        {"60", "1m"},    {"61", "2m"},       {"3540", "59m"},    {"3541", "1h"},
        {"3600", "1h"},  {"3601", "1h 1m"},  {"8340", "2h 19m"}, {"86340", "23h 59m"},
        {"86341", "1d"}, {"90000", "1d 1h"}, {"93599", "1d 2h"}, {"172800", "2d"},
        {"-1e9", "now"},
    };
    checkTable(rows, [](const QString& s) { return Fmt::countdown(kNow + s.toDouble(), kNow); });
}

TEST(Fmt, AgoOfSecondsBack) {
    const Row rows[] = {
        {"-300", "just now"}, {"0", "just now"},  {"59.9", "just now"},  {"60", "1m ago"},
        {"3599", "59m ago"},  {"3600", "1h ago"}, {"180000", "50h ago"},
    };
    checkTable(rows, [](const QString& s) { return Fmt::ago(kNow - s.toDouble(), kNow); });
}

TEST(Fmt, ClockShowsTheWeekdayOnlyForAnotherDay) {
    std::unique_ptr<icu::TimeZone> riga(icu::TimeZone::createTimeZone("Europe/Riga"));
    const icu::Locale us("en_US"), de("de_DE");
    const Instant now = utc(2025, 10, 14, 9, 0);         // Tue 12:00 in Riga
    const Instant lateToday = utc(2025, 10, 14, 20, 59); // Tue 23:59
    const Instant tomorrow = utc(2025, 10, 14, 21, 1);   // Wed 00:01
    // CLDR puts a narrow no-break space before the day period.
    EXPECT_EQ(Fmt::clock(lateToday, now, us, *riga), u"11:59\u202FPM"_s);
    EXPECT_EQ(Fmt::clock(tomorrow, now, us, *riga), u"Wed 12:01\u202FAM"_s);
    EXPECT_EQ(Fmt::clock(lateToday, now, de, *riga), u"23:59"_s);
    EXPECT_TRUE(Fmt::clock(tomorrow, now, de, *riga).endsWith(u"00:01"_s));
}

// "LC_ALL|LC_TIME|LANG" in, the locale that times are written in out.
TEST(Fmt, TimesFollowTheTimeLocaleInPosixOrder) {
    const Row rows[] = {
        {"||de_DE.UTF-8", "de_DE"},
        {"|fr_FR.UTF-8|de_DE.UTF-8", "fr_FR"},
        {"en_GB.UTF-8|fr_FR.UTF-8|de_DE.UTF-8", "en_GB"},
        {"|sr_RS.UTF-8@latin|", "sr_RS"},
        {"C|fr_FR.UTF-8|de_DE", "en_US_POSIX"},
        {"|POSIX|de_DE", "en_US_POSIX"},
        {"||", "en_US_POSIX"},
    };
    checkTable(rows, [](const QString& s) {
        const QStringList v = s.split(u'|');
        return Fmt::timeLocaleName(v[0], v[1], v[2]);
    });
}

} // namespace
