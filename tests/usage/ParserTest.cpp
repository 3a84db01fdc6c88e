#include "support/QtPrinters.h"
#include "support/TestTime.h"
#include "usage/UsageParser.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

struct LineCase {
    const char* line;
    const char* label; // nullptr: not a usage line
    double percent;
    const char* reset; // nullptr: no reset part
};

class UsageLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(UsageLine, ParsesAsTheLinePatternSays) {
    const LineCase& c = GetParam();
    const QList<Limit> limits = UsageParser::parse(QString::fromUtf8(c.line), kNow);
    if (!c.label) {
        EXPECT_TRUE(limits.isEmpty()) << c.line;
        return;
    }
    ASSERT_EQ(limits.size(), 1) << c.line;
    EXPECT_EQ(limits[0].rawLabel, QString::fromUtf8(c.label));
    EXPECT_EQ(limits[0].percent, c.percent);
    if (c.reset)
        EXPECT_EQ(limits[0].resetText, QString::fromUtf8(c.reset));
    else
        EXPECT_FALSE(limits[0].resetText.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UsageLine,
    ::testing::Values(
        LineCase{"Current session: 82% used", "Current session", 82, nullptr},
        LineCase{"Current session: 7.5% used", "Current session", 7.5, nullptr},
        LineCase{"Current session: 120% used", "Current session", 120, nullptr},
        LineCase{"Current session: 5% used · resets soon", "Current session", 5, "soon"},
        LineCase{"Current session: 5% used • resets soon", "Current session", 5, "soon"},
        LineCase{"Current session: 5% used | resets soon", "Current session", 5, "soon"},
        LineCase{"Current session: 5% used - resets soon", "Current session", 5, "soon"},
        LineCase{"Current session: 5% used , resets soon", nullptr, 0, nullptr},
        LineCase{"Current session: 82% used resets Oct 11", nullptr, 0, nullptr},
        LineCase{"Current session: 82 % used", nullptr, 0, nullptr},
        LineCase{"Current session: 82% Used", nullptr, 0, nullptr},
        LineCase{"Current session: .5% used", nullptr, 0, nullptr},
        LineCase{" \t Current session : 5% used ·  resets Oct 11 at 1am  \t", "Current session", 5,
                 "Oct 11 at 1am"},
        LineCase{"Plan: Current session: 5% used", "Plan: Current session", 5, nullptr},
        // \d takes any decimal digit; digits that are not ASCII read as 0.
        LineCase{"Current session: \u0663\u0664% used", "Current session", 0, nullptr},
        LineCase{"Current session: 00000000000000000000000000000001.5% used", "Current session",
                 1.5, nullptr},
        // Neither a label nor a reset text is ever white space alone.
        LineCase{"   : 5% used", nullptr, 0, nullptr},
        LineCase{"Current session: 5% used · resets   ", nullptr, 0, nullptr}));

TEST(UsageParser, LinesOver4096CharactersAreNotUsageLines) {
    const QString line = u"Current session: 5% used · resets "_s;
    for (const qsizetype length : {qsizetype(4096), qsizetype(4097)}) {
        const QString padded = line + QString(length - line.size(), u'x');
        EXPECT_EQ(UsageParser::parse(padded, kNow).size(), length <= 4096 ? 1 : 0) << length;
    }
}

TEST(UsageParser, SampleScreenGivesThreeLimitsInOrder) {
    const QString text = QString::fromUtf8(
        "Current session: 82% used · resets Oct 11 at 1:19am (Europe/Riga)\n"
        "Current week (all models): 67% used · resets Oct 14 at 9:59pm (Europe/Riga)\n"
        "Current week (Fable): 96% used · resets Oct 14 at 9:59pm (Europe/Riga)");
    const QList<Limit> limits = UsageParser::parse(text, kNow);
    ASSERT_EQ(limits.size(), 3);
    EXPECT_EQ(limits[0].title, u"Session");
    EXPECT_EQ(limits[1].title, QString::fromUtf8("Week · all models"));
    EXPECT_EQ(limits[2].title, QString::fromUtf8("Week · Fable"));
    EXPECT_EQ(limits[0].percent, 82);
    EXPECT_EQ(limits[1].percent, 67);
    EXPECT_EQ(limits[2].percent, 96);
    EXPECT_EQ(limits[0].resetText, u"Oct 11 at 1:19am (Europe/Riga)");
    EXPECT_EQ(limits[0].resetsAt, utc(2025, 10, 10, 22, 19));
    EXPECT_EQ(limits[2].resetsAt, utc(2025, 10, 14, 18, 59));

    // Colours, cursor movement and CR LF line ends change nothing.
    QString decorated = u"\x1b[?25l\x1b[2K\x1b[1;32m"_s + text + u"\x1b[0m"_s;
    decorated.replace(u'\n', QStringLiteral("\x1b[0m\r\n\x1b[33m"));
    EXPECT_EQ(UsageParser::parse(decorated, kNow), limits);
}

TEST(UsageParser, FirstOfTwoEqualLabelsWinsInItsPlace) {
    const QList<Limit> limits = UsageParser::parse(QStringLiteral("Current session: 1% used\n"
                                                                  "Current week: 2% used\n"
                                                                  "Current session: 3% used"),
                                                   kNow);
    ASSERT_EQ(limits.size(), 2);
    EXPECT_EQ(limits[0].percent, 1);
    EXPECT_EQ(limits[1].rawLabel, u"Current week");
}

TEST(UsageParser, NothingToReadGivesNoLimits) {
    for (const char* text : {"", "\n\r\n", "Hello\nworld", "\x1b[2J"})
        EXPECT_TRUE(UsageParser::parse(QString::fromUtf8(text), kNow).isEmpty()) << text;
}

TEST(UsageParser, TitleTable) {
    const struct {
        const char* label;
        const char* title;
    } cases[] = {
        {"Current session", "Session"},
        {"CURRENT SESSION", "Session"},
        {"Current session (5h)", "Session"},
        {"Current week (all models)", "Week · all models"},
        {"Current week (Fable)", "Week · Fable"},
        {"Current week (all models) (beta)", "Week · all models) (beta"},
        {"Current week ( spaced )", "Week ·  spaced "},
        {"Current week", "Week"},
        {"Current week )(", "Week"},
        {"Current  week", "Current  week"},
        {"Plan: Current session", "Plan: Current session"},
        {"Monthly credits", "Monthly credits"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsageParser::title(QString::fromUtf8(c.label)), QString::fromUtf8(c.title))
            << c.label;
}

TEST(UsageParser, CleanRemovesOnlyCsiSequences) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"\x1b[1;31mred\x1b[0m", "red"},
        {"\x1b[?2004hpaste\x1b[?2004l", "paste"},
        {"a\x1b[Kb\x1b[2J", "ab"},
        {"lone \x1b escape", "lone \x1b escape"},
        {"\x1b]0;title\x07osc", "\x1b]0;title\x07osc"},
        {"\x1b[12", "\x1b[12"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsageParser::clean(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

} // namespace
