#include "support/Table.h"
#include "support/TestTime.h"
#include "usage/UsageParser.h"

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

// "label | percent | reset text" for each limit the text gives, one a line; "-" for none.
QString limits(const QString& text) {
    QStringList out;
    for (const Limit& l : UsageParser::parse(text, kNow))
        out << l.rawLabel + u" | "_s + QString::number(l.percent) + u" | "_s +
                   l.resetText.value_or(u"none"_s);
    return out.isEmpty() ? u"-"_s : out.join(u'\n');
}

TEST(UsageParser, Lines) {
    const Row rows[] = {
        {"Current session: 82% used", "Current session | 82 | none"},
        {"Current session: 7.5% used", "Current session | 7.5 | none"},
        {"Current session: 120% used", "Current session | 120 | none"},
        {"Current session: 5% used · resets soon", "Current session | 5 | soon"},
        {"Current session: 5% used • resets soon", "Current session | 5 | soon"},
        {"Current session: 5% used | resets soon", "Current session | 5 | soon"},
        {"Current session: 5% used - resets soon", "Current session | 5 | soon"},
        {"Current session: 5% used , resets soon", "-"},
        {"Current session: 82% used resets Oct 11", "-"},
        {"Current session: 82 % used", "-"},
        {"Current session: 82% Used", "-"},
        {"Current session: .5% used", "-"},
        {" \t Current session : 5% used ·  resets Oct 11 at 1am  \t",
         "Current session | 5 | Oct 11 at 1am"},
        {"Plan: Current session: 5% used", "Plan: Current session | 5 | none"},
        // \d takes any decimal digit; digits that are not ASCII read as 0.
        {"Current session: \u0663\u0664% used", "Current session | 0 | none"},
        {"Current session: 00000000000000000000000000000001.5% used",
         "Current session | 1.5 | none"},
        // Neither a label nor a reset text is ever white space alone.
        {"   : 5% used", "-"},
        {"Current session: 5% used · resets   ", "-"},
        // The first of two equal labels wins, in its place; escapes and CR LF change nothing.
        {"Current session: 1% used\nCurrent week: 2% used\r\nCurrent session: 3% used",
         "Current session | 1 | none\nCurrent week | 2 | none"},
        {"\x1b[?25l\x1b[1;32mCurrent session:\x1b[0m 9% used\x1b[K\r\n",
         "Current session | 9 | none"},
        {"", "-"},
        {"Hello\nworld\x1b[2J", "-"},
    };
    checkTable(rows, limits);
}

TEST(UsageParser, LinesOver4096CharactersAreNotUsageLines) {
    const QString line = u"Current session: 5% used · resets "_s;
    for (const qsizetype length : {qsizetype(4096), qsizetype(4097)}) {
        const QString padded = line + QString(length - line.size(), u'x');
        EXPECT_EQ(UsageParser::parse(padded, kNow).size(), length <= 4096 ? 1 : 0) << length;
    }
}

TEST(UsageParser, Titles) {
    const Row rows[] = {
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
    checkTable(rows, UsageParser::title);
}

TEST(UsageParser, CleanRemovesOnlyCsiSequences) {
    const Row rows[] = {
        {"\x1b[1;31mred\x1b[0m", "red"},
        {"\x1b[?2004hpaste\x1b[?2004l", "paste"},
        {"a\x1b[Kb\x1b[2J", "ab"},
        {"lone \x1b escape", "lone \x1b escape"},
        {"\x1b]0;title\x07osc", "\x1b]0;title\x07osc"},
        {"\x1b[12", "\x1b[12"},
    };
    checkTable(rows, UsageParser::clean);
}

} // namespace
