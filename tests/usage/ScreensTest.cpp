// Whole screens of the tool, each with its expected rows (or explanation) beside it.

#include "support/QtPrinters.h"
#include "support/TestHome.h"
#include "support/TestTime.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// "title | percent | resetText or - | UTC instant or -" per limit, or "explain: ..." for none.
QString describe(const QString& screen, Instant now) {
    const QList<Limit> limits = UsageParser::parse(screen, now);
    if (limits.isEmpty())
        return u"explain: "_s + UsageParser::explain(screen) + u'\n';
    QString out;
    for (const Limit& l : limits) {
        QString when = u"-"_s;
        if (l.resetsAt)
            when =
                QDateTime::fromSecsSinceEpoch(std::chrono::floor<std::chrono::seconds>(*l.resetsAt)
                                                  .time_since_epoch()
                                                  .count(),
                                              QTimeZone::utc())
                    .toString(u"yyyy-MM-dd'T'HH:mm:ss'Z'"_s);
        out += u"%1 | %2 | %3 | %4\n"_s.arg(l.title, QString::number(l.percent),
                                            l.resetText.value_or(u"-"_s), when);
    }
    return out;
}

// An expectation may start with "now: <UTC instant>", the moment the screen was read.
TEST(Screens, EachScreenGivesItsExpectedRows) {
    const QDir dir(QStringLiteral(BRIMWATCH_TEST_DATA));
    const QStringList screens = dir.entryList({u"*.txt"_s}, QDir::Files);
    ASSERT_GE(screens.size(), 7);
    for (const QString& name : screens) {
        QString expected = TestHome::read(dir.filePath(name.chopped(4) + u".expected"_s));
        ASSERT_FALSE(expected.isEmpty()) << "no expectation for " << name;
        Instant now = utc(2025, 10, 10, 20, 0);
        if (expected.startsWith(u"now: ")) {
            const qsizetype end = expected.indexOf(u'\n');
            now = Instant(std::chrono::milliseconds(
                QDateTime::fromString(expected.mid(5, end - 5), Qt::ISODate).toMSecsSinceEpoch()));
            expected.remove(0, end + 1);
        }
        EXPECT_EQ(describe(TestHome::read(dir.filePath(name)), now), expected) << name;
    }
}

} // namespace
