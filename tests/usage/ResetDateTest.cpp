#include "support/QtPrinters.h"
#include "support/TestTime.h"
#include "usage/UsageParser.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::optional<Instant> reset(const char* text, Instant now) {
    return UsageParser::resetDate(QString::fromUtf8(text), now);
}

struct ResetCase {
    Instant now;
    const char* text;
    std::optional<Instant> expected;
};

class ResetDate : public ::testing::TestWithParam<ResetCase> {};

TEST_P(ResetDate, ResolvesAgainstNow) {
    const ResetCase& c = GetParam();
    EXPECT_EQ(reset(c.text, c.now), c.expected) << c.text;
}

const Instant kOct10 = utc(2025, 10, 10, 20, 0);
const Instant kRiga0119 = utc(2025, 10, 10, 22, 19); // Oct 11 1:19am in Riga

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ResetDate,
    ::testing::Values(
        ResetCase{kOct10, "Oct 11 at 1:19am (Europe/Riga)", kRiga0119},
        ResetCase{utc(2025, 10, 12, 12, 0), "Oct 11 at 1:19am (Europe/Riga)", kRiga0119},
        ResetCase{utc(2025, 12, 30, 12, 0), "Jan 2 at 9am (Europe/Riga)", utc(2026, 1, 2, 7, 0)},
        ResetCase{kOct10, "9:59pm (Europe/Riga)", utc(2025, 10, 11, 18, 59)},
        ResetCase{utc(2025, 10, 10, 18, 59, 30), "9:59pm (Europe/Riga)",
                  utc(2025, 10, 10, 18, 59)}));

INSTANTIATE_TEST_SUITE_P(
    Formats, ResetDate,
    ::testing::Values(ResetCase{kOct10, "Oct 11 at 1am (Europe/Riga)", utc(2025, 10, 10, 22, 0)},
                      ResetCase{kOct10, "Oct 11, 1:19am (Europe/Riga)", kRiga0119},
                      ResetCase{kOct10, "Oct 11, 1am (Europe/Riga)", utc(2025, 10, 10, 22, 0)},
                      ResetCase{kOct10, "Oct 11 1:19am (Europe/Riga)", kRiga0119},
                      ResetCase{kOct10, "Oct 11 1am (Europe/Riga)", utc(2025, 10, 10, 22, 0)},
                      ResetCase{kOct10, "Oct 11 at 1:19 AM (Europe/Riga)", kRiga0119},
                      ResetCase{kOct10, "Oct 11 at 1:19Am (Europe/Riga)", kRiga0119},
                      ResetCase{kOct10, "Oct 11 at 1:19pm (Europe/Riga)",
                                utc(2025, 10, 11, 10, 19)},
                      ResetCase{kOct10, "Oct 11 at 12am (Europe/Riga)", utc(2025, 10, 10, 21, 0)},
                      ResetCase{kOct10, "Oct 11 at 12pm (Europe/Riga)", utc(2025, 10, 11, 9, 0)},
                      ResetCase{kOct10, " \tOct 11 at 1:19am (Europe/Riga)\t ", kRiga0119},
                      ResetCase{kOct10, "Oct 11 at 1:19am ( Europe/Riga )", kRiga0119},
                      ResetCase{kOct10, "Oct 11 at 1:19am (UTC)", utc(2025, 10, 11, 1, 19)},
                      ResetCase{kOct10, "10pm (UTC)", utc(2025, 10, 10, 22, 0)}));

// A written year is taken as it stands: no rollover, whatever now is.
const Instant kDec30 = utc(2026, 12, 30, 12, 0);
INSTANTIATE_TEST_SUITE_P(
    WithYear, ResetDate,
    ::testing::Values(
        ResetCase{kDec30, "Jan 2, 2027, 3pm (Europe/Riga)", utc(2027, 1, 2, 13, 0)},
        ResetCase{kDec30, "Jan 2, 2027, 3:05pm (Europe/Riga)", utc(2027, 1, 2, 13, 5)},
        ResetCase{kDec30, "Jan 2, 2027 at 3pm (Europe/Riga)", utc(2027, 1, 2, 13, 0)},
        ResetCase{kDec30, "Jan 2, 2027 at 3:05pm (Europe/Riga)", utc(2027, 1, 2, 13, 5)},
        ResetCase{kDec30, "Oct 11, 2025, 1:19am (Europe/Riga)", kRiga0119},
        ResetCase{kOct10, "Feb 29, 2028, 1am (UTC)", utc(2028, 2, 29, 1, 0)},
        ResetCase{kOct10, "Feb 29, 2027, 1am (UTC)", std::nullopt},
        ResetCase{kOct10, "Jan 2, 2027,3pm (UTC)", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Unreadable, ResetDate,
    ::testing::Values(ResetCase{kOct10, "", std::nullopt}, ResetCase{kOct10, "soon", std::nullopt},
                      ResetCase{kOct10, "in 3 hours", std::nullopt},
                      ResetCase{kOct10, "Oct 11 at 13:19 (Europe/Riga)", std::nullopt},
                      ResetCase{kOct10, "Okt 11 at 1:19am (Europe/Riga)", std::nullopt},
                      ResetCase{kOct10, "Oct 11 at 1:19am tomorrow (Europe/Riga)", std::nullopt},
                      ResetCase{kOct10, "Oct 32 at 1am (UTC)", std::nullopt},
                      ResetCase{kOct10, "(Europe/Riga)", std::nullopt},
                      ResetCase{kOct10, "soon (Mars/Base)", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Boundaries, ResetDate,
    ::testing::Values(
        // Exactly 48 hours back stays in this year; a second more moves to the next.
        ResetCase{kRiga0119 + 172800.0, "Oct 11 at 1:19am (Europe/Riga)", kRiga0119},
        ResetCase{kRiga0119 + 172801.0, "Oct 11 at 1:19am (Europe/Riga)",
                  utc(2026, 10, 10, 22, 19)},
        // A time-only reset exactly 60 s back is tomorrow's; 59 s back is today's.
        ResetCase{utc(2025, 10, 10, 19, 0), "9:59pm (Europe/Riga)", utc(2025, 10, 11, 18, 59)},
        ResetCase{utc(2025, 10, 10, 18, 59, 59), "9:59pm (Europe/Riga)", utc(2025, 10, 10, 18, 59)},
        // The year is Riga's: already 2026 there while UTC is still in 2025.
        ResetCase{utc(2025, 12, 31, 22, 10), "Dec 31 at 11pm (Europe/Riga)",
                  utc(2026, 12, 31, 21, 0)},
        // Clocks go forward at 3:00 on 29 March 2026: 3:30 does not exist, 4:00 follows.
        ResetCase{utc(2026, 3, 28, 12, 0), "3:30am (Europe/Riga)", utc(2026, 3, 29, 1, 0)},
        // Clocks go back at 4:00 on 25 October 2026: 3:30 happens twice, the first counts.
        ResetCase{utc(2026, 10, 24, 12, 0), "3:30am (Europe/Riga)", utc(2026, 10, 25, 0, 30)}));

TEST(ResetDateZone, UnknownZoneNamesReadTheTimeInTheSystemZone) {
    const auto plain = reset("Oct 11 at 1:19am", kOct10);
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(reset("Oct 11 at 1:19am (Mars/Base)", kOct10), plain);
    EXPECT_EQ(reset("Oct 11 at 1:19am (UTC+3)", kOct10), plain);
    EXPECT_EQ(reset("Oct 11 at 1:19am ()", kOct10), std::nullopt);
}

} // namespace
