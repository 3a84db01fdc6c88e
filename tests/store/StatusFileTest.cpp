// "status.txt" after each reading, as whoever diagnoses the app reads it.

#include "cli/ClaudeCLI.h"
#include "files/Files.h"
#include "files/Paths.h"
#include "store/UsageFile.h"
#include "store/UsageStore.h"
#include "support/StoreFixture.h"
#include "support/Table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace {

class StatusFile : public StoreFixture {
protected:
    QString contents() {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    const QString path = Paths::statusTxt();
};

// Each answer a minute after the last; "!" marks a failure to run the tool.
TEST_F(StatusFile, RewrittenAfterEveryReading) {
    QDir().mkpath(Paths::supportDir());
    const QString limits = u"Session: 83% - resets 2025-10-10T21:00:00Z\nWeek: 67% - resets ?\n"
                           "Week · Opus: 1% - resets whenever\n"_s;
    const Row rows[] = {
        {"Current session: 82.5% used · resets 9pm (UTC)\nCurrent week: 67.4% used\n"
         "Current week (Opus): 0.5% used · resets whenever",
         "checked: 2025-10-10T20:01:00Z\n<limits>"},
        {"\x1b[2JOverloaded\r\nagain", "checked: 2025-10-10T20:02:00Z\nerror: Overloaded\n<limits>"
                                       "--- claude output ---\nOverloaded\r\nagain\n"},
        {"!Could not start Claude Code: boom",
         "checked: 2025-10-10T20:03:00Z\nerror: Could not start Claude Code: boom\n<limits>"},
    };
    checkTable(rows, [&](const QString& answer) {
        time.advance(60);
        if (answer.startsWith(u'!'))
            read(CLIError{answer.mid(1)});
        else
            read(answer);
        return contents().replace(limits, u"<limits>"_s);
    });
    // usage.json tells the same, for status bars: the last good reading's limits, and the
    // last attempt's time and error.
    EXPECT_EQ(
        TestHome::read(Paths::usageJson()),
        uR"j({"app":"Brimwatch 1.0.0","checkedAt":"2025-10-10T20:03:00Z",)j"
        uR"j("error":"Could not start Claude Code: boom","limits":[{"label":"Current session",)j"
        uR"j("percent":82.5,"resetText":"9pm (UTC)","resetsAt":"2025-10-10T21:00:00Z",)j"
        uR"j("title":"Session"},{"label":"Current week","percent":67.4,"resetText":null,)j"
        uR"j("resetsAt":null,"title":"Week"},{"label":"Current week (Opus)","percent":0.5,)j"
        uR"j("resetText":"whenever","resetsAt":null,"title":"Week · Opus"}],)j"
        uR"j("projects":{"session":[],"week":[]},)j"
        uR"j("source":"tool","updatedAt":"2025-10-10T20:01:00Z","version":1})j"
        u"\n"_s);
    // The tool's output is cut at 800 characters.
    read(QString(2000, u'x'));
    EXPECT_TRUE(contents().endsWith(u"---\n"_s + QString(800, u'x') + u'\n'));
    // However many limits a reading has, usage.json stays within what its readers take.
    QString many;
    for (int i = 0; i < 9000; ++i)
        many += u"Current week (Model %1 of a long name): 5% used\n"_s.arg(i);
    read(many);
    EXPECT_EQ(QJsonDocument::fromJson(TestHome::read(Paths::usageJson()).toUtf8())[u"limits"_s]
                  .toArray()
                  .size(),
              UsageFile::kMaxLimits);
    EXPECT_EQ(QDir(Paths::supportDir()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"status.txt"_s, u"usage.json"_s}))
        << "no temporary file is left behind";
}

// What the app writes, the text modes read back the same: times to the second, fractional
// percentages, missing resets and errors alike.
TEST_F(StatusFile, UsageJsonReadsBackAsWritten) {
    QDir().mkpath(Paths::supportDir());
    const UsageFile::Snapshot written{
        time.now() - 60.0,
        time.now(),
        u"Claude Code is logged out."_s,
        {Limit{u"Current session"_s, u"Session"_s, 82.5, time.now() + 3600.0, u"9pm (UTC)"_s},
         Limit{u"Current week (Opus)"_s, u"Week · Opus"_s, 0.25, std::nullopt, std::nullopt}},
        u"tool"_s,
        {{{u"app"_s, u"/w/app"_s, 0.75, 61.875}}, {{u"web"_s, u"/w/web"_s, 1, std::nullopt}}}};
    ASSERT_FALSE(Files::write(Paths::usageJson(), UsageFile::encode(written)));
    const UsageFile::File read = UsageFile::read(Paths::usageJson(), time.now());
    ASSERT_TRUE(read.snapshot) << read.problem.toStdString();
    EXPECT_EQ(read.snapshot->updatedAt, written.updatedAt);
    EXPECT_EQ(read.snapshot->checkedAt, written.checkedAt);
    EXPECT_EQ(read.snapshot->error, written.error);
    EXPECT_EQ(read.snapshot->limits, written.limits);
    EXPECT_EQ(read.snapshot->projects, written.projects);
}

TEST_F(StatusFile, AFolderThatIsMissingOrTakenChangesNothingElse) {
    read(u"Current session: 5% used"_s); // no folder: the writer does not make one
    EXPECT_FALSE(QDir(Paths::supportDir()).exists());
    QDir().mkpath(path); // a folder where the file should be
    read(u"Current session: 6% used"_s);
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(store->limits()[0].percent, 6);
    EXPECT_EQ(time.pendingOnce(), std::vector<double>{300});
}

} // namespace
