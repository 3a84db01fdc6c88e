#include "usage/Fmt.h"
#include "support/QtPrinters.h"
#include "support/TestTime.h"

#include <gtest/gtest.h>

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

TEST(Fmt, CountdownTable) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {-5, "now"},      {0, "now"},         {0.5, "now"},  {1, "1m"},     {60, "1m"},
        {61, "2m"},       {3540, "59m"},      {3541, "1h"},  {3600, "1h"},  {3601, "1h 1m"},
        {8340, "2h 19m"}, {86340, "23h 59m"}, {86341, "1d"}, {86400, "1d"}, {90000, "1d 1h"},
        {93599, "1d 2h"}, {172800, "2d"},     {-1e9, "now"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fmt::countdown(kNow + c.seconds, kNow), QString::fromUtf8(c.text)) << c.seconds;
}

TEST(Fmt, AgoTable) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {-300, "just now"}, {0, "just now"},        {59, "just now"},
        {59.9, "just now"}, {60, "1m ago"},         {3599, "59m ago"},
        {3600, "1h ago"},   {3 * 86400, "72h ago"}, {180000, "50h ago"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fmt::ago(kNow - c.seconds, kNow), QString::fromUtf8(c.text)) << c.seconds;
}

TEST(Fmt, ClockShowsTheWeekdayOnlyForAnotherDay) {
    std::unique_ptr<icu::TimeZone> riga(icu::TimeZone::createTimeZone("Europe/Riga"));
    const icu::Locale us("en_US");
    const Instant now = utc(2025, 10, 14, 9, 0);         // Tue 12:00 in Riga
    const Instant lateToday = utc(2025, 10, 14, 20, 59); // Tue 23:59
    const Instant tomorrow = utc(2025, 10, 14, 21, 1);   // Wed 00:01
    // CLDR puts a narrow no-break space before the day period.
    EXPECT_EQ(Fmt::clock(lateToday, now, us, *riga), u"11:59\u202FPM"_s);
    EXPECT_EQ(Fmt::clock(tomorrow, now, us, *riga), u"Wed 12:01\u202FAM"_s);

    const icu::Locale de("de_DE");
    EXPECT_EQ(Fmt::clock(lateToday, now, de, *riga), u"23:59"_s);
    EXPECT_TRUE(Fmt::clock(tomorrow, now, de, *riga).endsWith(u"00:01"_s));
}

TEST(Fmt, TimesFollowTheTimeLocaleInPosixOrder) {
    const struct {
        const char *all, *time, *lang, *locale;
    } cases[] = {
        {"", "", "de_DE.UTF-8", "de_DE"},
        {"", "fr_FR.UTF-8", "de_DE.UTF-8", "fr_FR"},
        {"en_GB.UTF-8", "fr_FR.UTF-8", "de_DE.UTF-8", "en_GB"},
        {"", "sr_RS.UTF-8@latin", "", "sr_RS"},
        {"C", "fr_FR.UTF-8", "de_DE", "en_US_POSIX"},
        {"", "POSIX", "de_DE", "en_US_POSIX"},
        {"", "", "", "en_US_POSIX"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fmt::timeLocaleName(QString::fromLatin1(c.all), QString::fromLatin1(c.time),
                                      QString::fromLatin1(c.lang)),
                  QString::fromLatin1(c.locale))
            << c.all << "|" << c.time << "|" << c.lang;
}

} // namespace
