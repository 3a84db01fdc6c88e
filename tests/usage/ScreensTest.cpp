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

TEST(Screens, EachScreenGivesItsExpectedRows) {
    const QDir dir(QStringLiteral(BRIMWATCH_TEST_DATA));
    const QStringList screens = dir.entryList({QStringLiteral("*.txt")}, QDir::Files);
    ASSERT_GE(screens.size(), 6);
    for (const QString& name : screens) {
        const QString base = name.chopped(4);
        const QString expected = readFile(dir.filePath(base + QStringLiteral(".expected")));
        ASSERT_FALSE(expected.isEmpty()) << "no expectation for " << name.toStdString();
        EXPECT_EQ(describe(readFile(dir.filePath(name)), utc(2025, 10, 10, 20, 0)).toStdString(),
                  expected.toStdString())
            << name.toStdString();
    }
}

} // namespace
