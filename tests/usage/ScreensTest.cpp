#include "support/QtPrinters.h"
// Real screens of the tool's print mode, each with its expected rows beside it.

#include "support/TestTime.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// "title | percent | resetText or - | UTC instant or -" per limit, or "explain: ..." for none.
QString describe(const QString& screen, Instant now) {
    const QList<Limit> limits = UsageParser::parse(screen, now);
    if (limits.isEmpty())
        return QStringLiteral("explain: ") + UsageParser::explain(screen) + u'\n';
    QString out;
    for (const Limit& l : limits) {
        QString when = QStringLiteral("-");
        if (l.resetsAt) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                l.resetsAt->time_since_epoch());
            when = QDateTime::fromMSecsSinceEpoch(ms.count(), QTimeZone::utc())
                       .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
        }
        out += QStringLiteral("%1 | %2 | %3 | %4\n")
                   .arg(l.title, QString::number(l.percent),
                        l.resetText.value_or(QStringLiteral("-")), when);
    }
    return out;
}

// An expectation may start with "now: <UTC instant>", the moment the screen was read.
TEST(Screens, EachScreenGivesItsExpectedRows) {
    const QDir dir(QStringLiteral(BRIMWATCH_TEST_DATA));
    const QStringList screens = dir.entryList({QStringLiteral("*.txt")}, QDir::Files);
    ASSERT_GE(screens.size(), 9);
    for (const QString& name : screens) {
        QString expected = readFile(dir.filePath(name.chopped(4) + QStringLiteral(".expected")));
        ASSERT_FALSE(expected.isEmpty()) << "no expectation for " << name.toStdString();
        Instant now = utc(2025, 10, 10, 20, 0);
        if (expected.startsWith(u"now: ")) {
            const qsizetype end = expected.indexOf(u'\n');
            const QDateTime at = QDateTime::fromString(expected.mid(5, end - 5), Qt::ISODate);
            now = Instant(std::chrono::milliseconds(at.toMSecsSinceEpoch()));
            expected.remove(0, end + 1);
        }
        EXPECT_EQ(describe(readFile(dir.filePath(name)), now).toStdString(), expected.toStdString())
            << name.toStdString();
    }
}

} // namespace
