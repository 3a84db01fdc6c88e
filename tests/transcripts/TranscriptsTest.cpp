// Claude Code's transcripts on a bad day: each trap of their lines, a file as it grows, is
// replaced or goes, folders that are not what they seem, a damaged index; then the shares.

#include "support/QtPrinters.h"
#include "support/TestHome.h"
#include "support/TestTime.h"
#include "transcripts/Breakdown.h"
#include "transcripts/Index.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace Transcript;

namespace {

const Instant kNow = utc(2026, 12, 8, 12, 0);

// A reply's line as Claude Code writes it: compact, the type after the message.
QByteArray reply(const char* id, double minutesAgo, const char* cwd, QByteArray counts,
                 const char* model = "claude-sonnet-4-5") {
    const QByteArray at =
        QDateTime::fromMSecsSinceEpoch(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           (kNow - minutesAgo * 60).time_since_epoch())
                                           .count(),
                                       QTimeZone::utc())
            .toString(Qt::ISODateWithMs)
            .toUtf8();
    return R"({"parentUuid":null,"cwd":")" + QByteArray(cwd) +
           R"(","sessionId":"s1","message":{"id":")" + id + R"(","model":")" + model +
           R"(","content":[{"type":"text","text":"hi"}],"usage":{)" + counts +
           R"(}},"requestId":"req_)" + id + R"(","type":"assistant","timestamp":")" + at + "\"}\n";
}
QByteArray tokens(int in, int out, int write = 0, int read = 0) {
    return QStringLiteral(
               R"("input_tokens":%1,"output_tokens":%2,"cache_creation_input_tokens":%3,)"
               R"("cache_read_input_tokens":%4)")
        .arg(in)
        .arg(out)
        .arg(write)
        .arg(read)
        .toUtf8();
}

const QString kAccount = u"/acct"_s;

QString projects() {
    return TestHome::path() + u"/claude/projects"_s;
}

// "name messages input output write read" per project, largest first.
QStringList totals(Index& index, Index::Report* report = nullptr,
                   Window w = {{}, kNow - 300 * 60.0, kNow, 80.0}) {
    const Index::Report r = index.update({{kAccount, projects()}});
    if (report)
        *report = r;
    QStringList out;
    for (const Row& row : rows(index.replies(kAccount, w.from, w.to, By::Project), By::Project, w))
        out << u"%1 %2 %3 %4 %5 %6"_s.arg(row.name)
                   .arg(row.messages)
                   .arg(row.input)
                   .arg(row.output)
                   .arg(row.cacheWrite)
                   .arg(row.cacheRead);
    return out;
}

TEST(Transcripts, EachTrapCountedExactly) {
    const struct {
        const char* name;
        QList<std::pair<const char*, QByteArray>> files; // under projects/
        QStringList expected;
        qint64 malformed = 0, absurd = 0;
    } cases[] = {
        {"a streamed reply: once, at its largest",
         {{"p/a.jsonl", reply("m1", 10, "/w/app", tokens(10, 1, 5, 0)) +
                            reply("m1", 10, "/w/app", tokens(10, 50, 5, 7))}},
         {u"app 1 10 50 5 7"_s}},
        {"a resumed session's copies: once",
         {{"p/a.jsonl", reply("m1", 30, "/w/app", tokens(10, 50))},
          {"p/b.jsonl",
           reply("m1", 30, "/w/app", tokens(10, 50)) + reply("m2", 5, "/w/app", tokens(1, 2))}},
         {u"app 2 11 52 0 0"_s}},
        {"a sub-agent's file counts",
         {{"p/s1.jsonl", reply("m1", 10, "/w/app", tokens(1, 1))},
          {"p/s1/subagents/agent-1.jsonl", reply("m2", 10, "/w/app", tokens(2, 2))}},
         {u"app 2 3 3 0 0"_s}},
        {"a last line not yet ended waits",
         {{"p/a.jsonl", reply("m1", 10, "/w/app", tokens(1, 1)) +
                            reply("m2", 10, "/w/app", tokens(2, 2)).chopped(9)}},
         {u"app 1 1 1 0 0"_s}},
        {"malformed lines are skipped and counted",
         {{"p/a.jsonl", "{\"type\":\"assistant\",\"message\":{\n" +
                            reply("m1", 10, "/w/app", tokens(1, 1)) +
                            reply("m2", 10, "/w/app", tokens(1, 1)).replace("T", "at")}},
         {u"app 1 1 1 0 0"_s},
         2},
        {"absurd counts and times are skipped and counted",
         {{"p/a.jsonl", reply("m1", 10, "/w/app", tokens(-1, 1)) +
                            reply("m2", 10, "/w/app", R"("input_tokens":1e12)") +
                            reply("m3", 10, "/w/app", R"("input_tokens":"12")") +
                            reply("m4", 10, "/w/app", R"("cache_creation_input_tokens":1.5)") +
                            reply("m5", 10, "/w/app", R"("output_tokens":7)") +
                            reply("m6", -1.1e9, "/w/app", tokens(1, 1))}},
         {u"app 1 0 7 0 0"_s},
         0,
         5},
        {"replies outside the window are left out",
         {{"p/a.jsonl", reply("m1", 301, "/w/app", tokens(1, 1)) +
                            reply("m2", 299, "/w/app", tokens(2, 2)) +
                            reply("m3", -1, "/w/app", tokens(4, 4))}},
         {u"app 1 2 2 0 0"_s}},
        {"two projects of one folder name, and other lines",
         {{"p/a.jsonl", R"({"type":"user","message":{"content":[{"type":"assistant"}]}})"
                        "\n"
                        R"({"type":"summary","summary":"\"type\":\"assistant\""})"
                        "\n" +
                            reply("m1", 10, "/a/web", tokens(30, 0)) +
                            reply("m2", 10, "/b/web", tokens(10, 0))}},
         {u"a/web 1 30 0 0 0"_s, u"b/web 1 10 0 0 0"_s}},
        {"a link, a FIFO and other files are never opened",
         {{"p/notes.txt", reply("m1", 10, "/w/app", tokens(1, 1))}},
         {}},
    };
    for (const auto& c : cases) {
        TestHome::clear();
        for (const auto& [path, text] : c.files)
            TestHome::write(u"claude/projects/"_s + QLatin1StringView(path), text);
        QFile::link(TestHome::write(u"elsewhere.jsonl"_s, reply("m9", 1, "/w/x", tokens(9, 9))),
                    projects() + u"/p/link.jsonl"_s);
        ::mkfifo(QFile::encodeName(projects() + u"/p/fifo.jsonl"_s).constData(), 0600);
        Index index(TestHome::path() + u"/index.sqlite"_s);
        Index::Report report;
        EXPECT_EQ(totals(index, &report), c.expected) << c.name;
        EXPECT_EQ(report.malformed, c.malformed) << c.name;
        EXPECT_EQ(report.absurd, c.absurd) << c.name;
    }
}

// A file read once, then only where it grew; replaced or shrunk, read again; gone, dropped.
TEST(Transcripts, FilesAsTheyChange) {
    TestHome::clear();
    const QString file = u"claude/projects/p/a.jsonl"_s, path = TestHome::path() + u'/' + file;
    Index index(TestHome::path() + u"/index.sqlite"_s);
    const auto append = [&](const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(text);
    };
    TestHome::write(file, reply("m1", 10, "/w/app", tokens(1, 1)));
    Index::Report r;
    EXPECT_EQ(totals(index, &r), QStringList{u"app 1 1 1 0 0"_s});
    EXPECT_EQ(totals(index, &r), QStringList{u"app 1 1 1 0 0"_s});
    EXPECT_EQ(r.read, 0) << "an unchanged file is not read";
    const QByteArray next = reply("m2", 5, "/w/app", tokens(2, 2));
    append(next.left(40));
    EXPECT_EQ(totals(index, &r), QStringList{u"app 1 1 1 0 0"_s});
    append(next.mid(40));
    EXPECT_EQ(totals(index, &r), QStringList{u"app 2 3 3 0 0"_s});
    EXPECT_EQ(r.bytes, next.size()) << "only what was added is read";
    QFile::remove(path); // replaced by a shorter file
    TestHome::write(file, reply("m3", 5, "/w/web", tokens(4, 4)));
    EXPECT_EQ(totals(index), QStringList{u"web 1 4 4 0 0"_s});
    QFile::remove(path);
    EXPECT_EQ(totals(index), QStringList{});

    // Folders that are not what they seem: a clear problem, no hang, nothing lost.
    TestHome::write(file, reply("m4", 5, "/w/app", tokens(1, 1)));
    EXPECT_EQ(totals(index), QStringList{u"app 1 1 1 0 0"_s});
    QDir(projects()).removeRecursively();
    ::mkfifo(QFile::encodeName(projects()).constData(), 0600);
    EXPECT_EQ(totals(index, &r), QStringList{u"app 1 1 1 0 0"_s}) << "kept while unreadable";
    EXPECT_EQ(r.problems, QStringList{projects() + u" is not a folder"_s});
    QFile::remove(projects());
    QFile::link(projects() + u"2"_s, projects() + u"2"_s);
    QFile::link(projects() + u"2"_s, projects());
    totals(index, &r);
    EXPECT_TRUE(r.problems.value(0).contains(u"symbolic links"_s)) << r.problems.join(u';');
    QFile::remove(projects());
    QDir().mkpath(projects() + u"/d/d/d/d/d/d/d/d"_s);
    TestHome::write(u"claude/projects/d/d/d/d/d/a.jsonl"_s,
                    reply("m5", 5, "/w/deep", tokens(1, 1)));
    EXPECT_EQ(totals(index), QStringList{}) << "nothing deeper than Claude Code writes";
}

// An index that is damaged is set aside and made anew; one of another layout is made anew.
TEST(Transcripts, ADamagedIndexIsMadeAnew) {
    TestHome::clear();
    TestHome::write(u"claude/projects/p/a.jsonl"_s, reply("m1", 10, "/w/app", tokens(1, 1)));
    const QString db = TestHome::write(u"index.sqlite"_s, QByteArray(8192, 'x'));
    Index index(db);
    EXPECT_TRUE(index.isOpen()) << index.problem().toStdString();
    EXPECT_EQ(totals(index), QStringList{u"app 1 1 1 0 0"_s});
    EXPECT_EQ(TestHome::read(db + u".broken"_s).size(), 8192);
    ::mkfifo(QFile::encodeName(TestHome::path() + u"/fifo.sqlite"_s).constData(), 0600);
    EXPECT_FALSE(Index(TestHome::path() + u"/fifo.sqlite"_s).isOpen());
}

TEST(Breakdown, WeightsWindowsAndShares) {
    // Relative prices: output 5, cache write 1.25, cache read 0.1; Opus 5/3, Haiku 1/3.
    const struct {
        const char* model;
        double weight;
    } weights[] = {{"claude-sonnet-4-5", 100 + 5 * 10 + 1.25 * 8 + 0.1 * 1000},
                   {"claude-opus-4-5", 260 * 5.0 / 3},
                   {"claude-haiku-4-5", 260 / 3.0},
                   {"gpt-x", 260}};
    for (const auto& w : weights)
        EXPECT_DOUBLE_EQ(
            weight({{}, {}, kNow, QString::fromLatin1(w.model), {}, {}, 100, 10, 8, 1000}),
            w.weight)
            << w.model;

    const QList<Limit> limits{
        {u"Current session"_s, u"Session"_s, 80, kNow + 7200, {}},
        {u"Current week (all models)"_s, u"Week · all models"_s, 40, kNow - 60, {}}};
    // A session whose reset is further than 5 hours ahead: the last 5 hours, at its percentage.
    EXPECT_EQ(sessionWindow(kNow + 6 * 3600.0, 3, kNow).from, kNow - 5 * 3600.0);
    EXPECT_EQ(sessionWindow(kNow + 6 * 3600.0, 3, kNow).limitPercent, 3);
    EXPECT_EQ(sessionWindow(std::nullopt, 3, kNow).limitPercent, 3);
    const struct {
        const char* name;
        double from; // seconds before now; 0 for none
        std::optional<double> percent;
    } windows[] = {{"session", 3 * 3600, 80},
                   {"week", 7 * 86400, std::nullopt},
                   {"3d", 3 * 86400, std::nullopt},
                   {"1d", 86400, std::nullopt},
                   {"30d", 30 * 86400, std::nullopt},
                   {"0d", 0, {}},
                   {"31d", 0, {}},
                   {"days", 0, {}}};
    for (const auto& w : windows) {
        const auto got = window(QString::fromLatin1(w.name), limits, kNow);
        ASSERT_EQ(got.has_value(), w.from > 0) << w.name;
        if (!got)
            continue;
        EXPECT_EQ(got->from, kNow - w.from) << w.name;
        EXPECT_EQ(got->limitPercent, w.percent) << w.name;
    }

    const Window session = *window(u"session"_s, limits, kNow);
    const auto msg = [](const char* cwd, qint64 in) {
        return Message{
            {}, {}, kNow - 60.0, u"claude-sonnet-4-5"_s, QString::fromLatin1(cwd), u"s"_s, in, 0,
            0,  0};
    };
    const QList<Row> r =
        rows({msg("/w/small", 100), msg("/w/big", 200), msg("/w/big", 100)}, By::Project, session);
    ASSERT_EQ(r.size(), 2);
    EXPECT_EQ(r[0].name, u"big"_s);
    EXPECT_EQ(rows({msg("/w/a", 1)}, By::Model, session).value(0).name, u"claude-sonnet-4-5"_s);
    EXPECT_EQ(rows({msg("/w/a", 1)}, By::Session, session).value(0).name, u"s"_s);
    EXPECT_DOUBLE_EQ(r[0].share, 0.75);
    EXPECT_DOUBLE_EQ(*r[1].limitPercent, 20);
    EXPECT_EQ(summary(r), u"Mostly big ≈60% · small ≈20%"_s);
    EXPECT_EQ(summary(rows({msg("/w/big", 200), msg("/w/small", 100)}, By::Project,
                           *window(u"week"_s, limits, kNow))),
              u"Mostly big, 67% of the use · small, 33%"_s);
    EXPECT_EQ(summary({}), QString());
}

} // namespace
