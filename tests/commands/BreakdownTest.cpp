// --breakdown through the real executable, on transcripts and a reading in a temporary home.

#include "store/UsageFile.h"
#include "support/Brimwatch.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// What used the session, through the real executable: the rows as JSON with the last reading's
// percentage, none in an empty window, and why when the transcripts can't be read.
TEST(Breakdown, TheCommandsAnswersAndStatuses) {
    TestHome::clear();
    const QString at = QDateTime::currentDateTimeUtc().addSecs(-600).toString(Qt::ISODateWithMs);
    TestHome::write(
        u".claude/projects/-w-app/s.jsonl"_s,
        (uR"({"cwd":"/w/app","sessionId":"s","message":{"id":"m1","model":"x","usage":)"
         uR"({"input_tokens":100,"output_tokens":20}},"type":"assistant","timestamp":")"_s +
         at + u"\"}\n"_s)
            .toUtf8());
    UsageFile::Snapshot last;
    last.limits << Limit{
        u"Current session"_s, u"Session"_s, 40, std::chrono::system_clock::now() + 3600.0, {}};
    TestHome::write(u".local/share/Brimwatch/usage.json"_s, UsageFile::encode(last));
    const ProcessRun json = brimwatch({u"--breakdown"_s, u"--json"_s});
    EXPECT_EQ(json.status, 0) << json.err;
    const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(o[u"window"_s][u"limitPercent"_s].toDouble(), 40);
    EXPECT_EQ(o[u"rows"_s][0][u"key"_s].toString(), u"/w/app"_s);
    EXPECT_EQ(o[u"rows"_s][0][u"outputTokens"_s].toInteger(), 20);
    EXPECT_EQ(o[u"rows"_s][0][u"limitPercent"_s].toDouble(), 40);
    EXPECT_TRUE(o[u"estimate"_s].toBool());
    for (const auto& [args, status] :
         {std::pair{QStringList{u"--window"_s, u"0d"_s}, 2},
          {{u"--by"_s, u"day"_s}, 2},
          {{u"--window"_s, u"week"_s, u"--by"_s, u"model"_s, u"--csv"_s}, 0}})
        EXPECT_EQ(brimwatch(QStringList{u"--breakdown"_s} + args).status, status)
            << args.join(u' ');
    QFile::rename(TestHome::path() + u"/.claude/projects/-w-app/s.jsonl"_s,
                  TestHome::path() + u"/.claude/projects/-w-app/s.json"_s);
    EXPECT_EQ(brimwatch({u"--breakdown"_s}).status, 1);
    QDir(TestHome::path() + u"/.claude/projects"_s).removeRecursively();
    ::mkfifo(QFile::encodeName(TestHome::path() + u"/.claude/projects"_s).constData(), 0600);
    const ProcessRun fifo = brimwatch({u"--breakdown"_s});
    EXPECT_EQ(fifo.status, 2);
    EXPECT_TRUE(fifo.err.contains(u"is not a folder"_s)) << fifo.err;
}

} // namespace
