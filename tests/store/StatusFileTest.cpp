#include "cli/ClaudeCLI.h"
#include "store/UsageStore.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "support/StoreFixture.h"
#include "support/TestHome.h"
#include "support/TestTime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

Limit limit(const QString& title, double percent, std::optional<Instant> at = std::nullopt,
            std::optional<QString> text = std::nullopt) {
    Limit l;
    l.rawLabel = l.title = title;
    l.percent = percent;
    l.resetsAt = at;
    l.resetText = text;
    return l;
}

TEST(StatusText, Lines) {
    const QList<Limit> two{limit(u"Session"_s, 82.5, utc(2025, 10, 10, 22, 19)),
                           limit(u"Week · all models"_s, 67.4, utc(2025, 10, 14, 18, 59, 30.7))};
    const QString excerptSource = u"\x1b[31m"_s + QString(2000, u'x') + u"\x1b[0m"_s;
    const struct {
        const char* name;
        std::optional<QString> error;
        QList<Limit> limits;
        QString raw;
        QString expected;
    } cases[] = {
        {"good", std::nullopt, two, u"ignored when there is no error"_s,
         u"checked: 2025-10-10T20:00:00Z\n"
         "Session: 83% - resets 2025-10-10T22:19:00Z\n"
         "Week · all models: 67% - resets 2025-10-14T18:59:30Z\n"_s},
        {"endings",
         std::nullopt,
         {limit(u"A"_s, 0), limit(u"B"_s, 0.5, std::nullopt, u"whenever"_s), limit(u"C"_s, 99.5)},
         u""_s,
         u"checked: 2025-10-10T20:00:00Z\nA: 0% - resets ?\nB: 1% - resets whenever\n"
         "C: 100% - resets ?\n"_s},
        {"start failure", u"Could not start Claude Code: boom"_s, two, u""_s,
         u"checked: 2025-10-10T20:00:00Z\nerror: Could not start Claude Code: boom\n"
         "Session: 83% - resets 2025-10-10T22:19:00Z\n"
         "Week · all models: 67% - resets 2025-10-14T18:59:30Z\n"_s},
        {"no usage line",
         u"Busy"_s,
         {},
         u"\x1b[1mBusy\x1b[0m\r\nline two"_s,
         u"checked: 2025-10-10T20:00:00Z\nerror: Busy\n--- claude output ---\nBusy\r\nline two\n"_s},
        {"excerpt of 800",
         u"x"_s,
         {},
         excerptSource,
         u"checked: 2025-10-10T20:00:00Z\nerror: x\n--- claude output ---\n"_s +
             QString(800, u'x') + u'\n'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsageStore::statusText(kNow, c.error, c.limits, c.raw), c.expected) << c.name;
}

class StatusFile : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        store->onChange = [this] { ++changes; };
    }
    QString contents() {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    const QString path = ClaudeCLI::supportDir() + u"/status.txt"_s;
    int changes = 0;
};

TEST_F(StatusFile, RewrittenAfterEveryReading) {
    QDir().mkpath(ClaudeCLI::supportDir());
    read(u"Current session: 82.5% used · resets 9pm (UTC)\nCurrent week: 67.4% used"_s);
    EXPECT_EQ(contents(), u"checked: 2025-10-10T20:00:00Z\n"
                          "Session: 83% - resets 2025-10-10T21:00:00Z\n"
                          "Week: 67% - resets ?\n"_s);
    time.advance(61);
    read(u"\x1b[2JOverloaded"_s);
    EXPECT_EQ(contents(), u"checked: 2025-10-10T20:01:01Z\nerror: Overloaded\n"
                          "Session: 83% - resets 2025-10-10T21:00:00Z\n"
                          "Week: 67% - resets ?\n"
                          "--- claude output ---\nOverloaded\n"_s);
    EXPECT_TRUE(QDir(ClaudeCLI::supportDir()).entryList(QDir::Files) ==
                QStringList{u"status.txt"_s})
        << "no temporary file is left behind";
}

TEST_F(StatusFile, AFolderThatIsMissingOrUnwritableIsIgnored) {
    // No folder: the writer does not make one.
    read(u"Current session: 5% used"_s);
    EXPECT_FALSE(QDir(ClaudeCLI::supportDir()).exists());
    // A folder where the file should be: the write fails.
    QDir().mkpath(path);
    read(u"Current session: 6% used"_s);
    EXPECT_TRUE(QFileInfo(path).isDir());
    // Either way the reading had all its other effects.
    EXPECT_EQ(store->limits()[0].percent, 6);
    EXPECT_EQ(time.pendingOnce(), std::vector<double>{300});
    EXPECT_EQ(changes, 4);
}

} // namespace
