// The entry: which mode the arguments ask for, and the text modes as a terminal user or a
// status bar runs them.

#include "commands/Options.h"
#include "commands/Parse.h"
#include "store/HistoryDb.h"
#include "support/Brimwatch.h"
#include "support/Table.h"
#include "support/TestHome.h"
#include "support/TestTime.h"
#include "support/ToolFixture.h"
#include "usage/Fmt.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

TEST(Entry, DispatchInOrder) {
    const Row rows[] = {
        {"", "app"},
        {"--make-icon icon.png", "make-icon"},
        {"--make-icon --parse", "make-icon"},
        {"--make-icon", "app"},
        {"--parse", "parse"},
        {"--parse file.txt more", "parse"},
        {"--check --parse", "check"},
        {"--status --json", "status"},
        {"--waybar --watch", "waybar"},
        {"--statusline --install", "statusline"},
        {"--history --csv", "history"},
        {"--breakdown --json", "breakdown"},
        {"--accounts", "accounts"},
        {"--add-account Work /w", "add-account"},
        {"--add-account", "app"},
        {"--remove-account Work", "remove-account"},
        {"--parse --check", "parse"},
        {"--snapshot /tmp", "snapshot"},
        {"--snapshot", "app"},
        {"--help", "help"},
        {"--version x", "version"},
        {"--PARSE", "app"},
        {"--parse=x", "app"},
        {"--snapshot=/tmp x", "app"},
        {"-h", "app"},
        {"x --parse", "app"},
    };
    const char* names[] = {"app",       "parse",       "check",          "status",
                           "waybar",    "statusline",  "history",        "breakdown",
                           "accounts",  "add-account", "remove-account", "snapshot",
                           "make-icon", "help",        "version"};
    checkTable(rows, [&](const QString& args) {
        const QStringList argv = (u"bw "_s + args).split(u' ', Qt::SkipEmptyParts);
        return QString::fromLatin1(names[int(Options::parse(argv).mode)]);
    });
    EXPECT_EQ(Options::parse({}).mode, Options::Mode::App);
}

TEST(Entry, PercentIsTheShortestRoundTripWithAFraction) {
    const Row rows[] = {
        {"82", "82.0"},       {"7.25", "7.25"},
        {"0.0001", "0.0001"}, {"100000", "100000.0"},
        {"0", "0.0"},         {"96.1", "96.1"},
        {"33.333", "33.333"}, {"1e21", "1000000000000000000000.0"},
    };
    checkTable(rows, [](const QString& s) { return ParseCommand::formatPercent(s.toDouble()); });
}

TEST(Entry, ParseReport) {
    const Row rows[] = {
        {"Current session: 82% used · resets Oct 11 at 1:19am (Europe/Riga)",
         "Session | 82.0% | in 2h 19m (2025-10-10 22:19:00 +0000)\n"},
        {"Current week (Fable): 96% used · resets Oct 14 at 9:59pm (Europe/Riga)",
         "Week · Fable | 96.0% | in 3d 22h (2025-10-14 18:59:00 +0000)\n"},
        {"Current session: 5% used · resets soon", "Session | 5.0% | unparsed: soon\n"},
        {"Current session: 5% used", "Session | 5.0% | unparsed: -\n"},
        {"Current session: 5% used · resets Oct 10 at 7:59pm (UTC)",
         "Session | 5.0% | in now (2025-10-10 19:59:00 +0000)\n"},
        // The explanation is of the text as read, so escape sequences do not reach it.
        {"\x1b[1mBusy\x1b[0m\nagain", "no rows · Busy\n"},
    };
    checkTable(rows, [](const QString& text) { return ParseCommand::report(text, kNow); });
}

TEST(Entry, ParseTakesTheTimeOnceTheInputHasEnded) {
    bool read = false;
    const QString out = ParseCommand::fromInput(
        [&] {
            read = true;
            return QByteArray("Current session: 5% used \xc2\xb7 resets 8:30pm (UTC)");
        },
        [&] {
            EXPECT_TRUE(read) << "the time was taken before the input ended";
            return kNow;
        });
    EXPECT_EQ(out, u"Session | 5.0% | in 30m (2025-10-10 20:30:00 +0000)\n"_s);
}

TEST(EntryProcess, TheTextModes) {
    const struct {
        QStringList args;
        QByteArray input;
        int status;
        QString out;
    } cases[] = {
        // A file name after --parse is not read; bad bytes become replacement characters.
        {{u"--parse"_s, u"ignored.txt"_s},
         "Current session: 82% used \xc2\xb7 resets Oct 11, 2025, 1:19am (Europe/Riga)\n",
         0,
         u"Session | 82.0% | in now (2025-10-10 22:19:00 +0000)\n"_s},
        {{u"--parse"_s}, "\xff\xfeoops \xc3(\n", 0, u"no rows · \uFFFD\uFFFDoops \uFFFD(\n"_s},
        {{u"--parse"_s},
         "",
         0,
         u"no rows · "_s + QString::fromUtf16(UsageParser::kNoAnswer) + u'\n'},
        {{u"--version"_s}, "", 0, u"Brimwatch 1.0.0\n"_s},
    };
    for (const auto& c : cases) {
        const ProcessRun r = brimwatch(c.args, c.input);
        EXPECT_EQ(r.status, c.status) << c.args.join(u' ');
        EXPECT_EQ(r.out, c.out) << c.args.join(u' ');
    }
    EXPECT_TRUE(brimwatch({u"--help"_s}).out.contains(u"--check"_s));
    // Not a mode: the application starts, and without a display says so in one line.
    const ProcessRun app = brimwatch({u"--Parse"_s});
    EXPECT_EQ(app.status, 1);
    EXPECT_TRUE(app.err.contains(u"no display"_s) && app.err.count(u'\n') == 1) << app.err;
}

// usage.json as the app writes it: a good reading some minutes old, or one that failed.
QByteArray usageJson(int minutesOld, const char* error) {
    const auto at = [](int seconds) {
        return QDateTime::currentDateTimeUtc().addSecs(seconds).toString(Qt::ISODate).toUtf8();
    };
    return R"j({"version":1,"app":"Brimwatch 1.0.0","updatedAt":")j" + at(-60 * minutesOld) +
           R"j(","checkedAt":")j" + at(0) + R"j(","error":)j" + error +
           R"j(,"limits":[{"title":"Session","label":"Current session","percent":82.5,)j"
           R"j("resetsAt":")j" +
           at(7490) +
           R"j(","resetText":"3:29pm (UTC)"},)j"
           R"j({"title":"Week","label":"Current week","percent":96,"resetsAt":null,)j"
           R"j("resetText":null}]})j";
}

// What the running app last wrote, as --status and --waybar tell it: "exit | first line of
// --status, or the reason on standard error | waybar's class and text". A file that is not
// what the app writes is refused, whatever its fault; a FIFO is not waited on.
TEST(StatusAndWaybar, ReadTheAppsLastReading) {
    const QString file = u".local/share/Brimwatch/usage.json"_s;
    const QByteArray good = usageJson(3, "null");
    const auto with = [&](const char* from, const char* to) {
        return QByteArray(good).replace(from, to);
    };
    const struct {
        const char* name;
        QByteArray json; // "fifo": a FIFO in its place
        const char* out;
    } rows[] = {
        {"fifo", "fifo", "2 | it is not a regular file | error -"},
        {"fresh", good, "0 | Session | 82.5% | in 2h 5m | warn 83% · 2h 5m"},
        {"stale", usageJson(16, "null"), "1 | Session | 82.5% | in 2h 5m | stale 83% · 2h 5m"},
        {"error", usageJson(3, "\"Claude Code is logged out.\""),
         "1 | Session | 82.5% | in 2h 5m | error 83% · 2h 5m"},
        {"missing", {}, "1 | no reading yet: is Brimwatch running? | error -"},
        {"corrupt", good.chopped(9), "2 | not JSON (unterminated string) | error -"},
        {"newer", with("\"version\":1", "\"version\":2"),
         "2 | a layout this Brimwatch does not know (version 2) | error -"},
        {"a percent as text", with("82.5", "\"82\""),
         "2 | its percent is not a number from 0 to 1000 | error -"},
        {"an absurd percent", with("82.5", "1e308"),
         "2 | its percent is not a number from 0 to 1000 | error -"},
        {"no limits", with("\"limits\"", "\"rows\""), "2 | its limits is not a list | error -"},
        {"limits not a list", with("\"limits\":[", "\"limits\":7,\"x\":["),
         "2 | its limits is not a list | error -"},
        {"a time in 2099",
         with("\"updatedAt\":\"20", "\"updatedAt\":\"2099-01-01T00:00:00Z\",\"x\":\"20"),
         "2 | its updatedAt is in the future | error -"},
        {"a reset in 2300",
         with("\"resetsAt\":\"20", "\"resetsAt\":\"2300-01-01T00:00:00Z\",\"x\":\"20"),
         "0 | Session | 82.5% | unparsed: 3:29pm | warn 83%"},
        {"an error as a number", usageJson(3, "7"),
         "2 | its error is not a string or null | error -"},
        {"over 1 MB", good + QByteArray(3 << 19, ' '), "2 | it is over 1 MB | error -"},
    };
    for (const auto& row : rows) {
        TestHome::clear();
        if (row.json == "fifo") {
            QDir().mkpath(QFileInfo(TestHome::path() + u'/' + file).path());
            ::mkfifo(QFile::encodeName(TestHome::path() + u'/' + file).constData(), 0600);
        } else if (!row.json.isEmpty()) {
            TestHome::write(file, row.json);
        }
        const ProcessRun status = brimwatch({u"--status"_s});
        EXPECT_EQ(status.err.isEmpty(), status.status < 2) << row.name;
        const QJsonObject bar =
            QJsonDocument::fromJson(brimwatch({u"--waybar"_s}).out.toUtf8()).object();
        EXPECT_EQ(bar.value(u"alt"_s), bar.value(u"class"_s));
        const QString said = status.status < 2
                                 ? status.out.section(u'\n', 0, 0).section(u" ("_s, 0, 0)
                                 : status.err.section(u": "_s, 2).trimmed();
        EXPECT_EQ(u"%1 | %2 | %3 %4"_s.arg(status.status)
                      .arg(said, bar.value(u"class"_s).toString(), bar.value(u"text"_s).toString()),
                  QString::fromUtf8(row.out))
            << row.name;
    }
    // Nothing read yet: an empty bar.
    TestHome::write(file, good.left(good.indexOf("[{")) + "[]}");
    EXPECT_EQ(QJsonDocument::fromJson(brimwatch({u"--waybar"_s}).out.toUtf8())[u"percentage"_s], 0);
    // Everything of a fresh reading, and the file as it is.
    TestHome::write(file, usageJson(3, "\"Claude Code is logged out.\""));
    EXPECT_TRUE(
        brimwatch({u"--status"_s})
            .out.endsWith(
                u"Week | 96.0% | unparsed: -\nupdated 3m ago\nerror: Claude Code is logged out.\n"_s));
    EXPECT_EQ(brimwatch({u"--status"_s, u"--json"_s}).out.toUtf8(),
              usageJson(3, "\"Claude Code is logged out.\""));
    EXPECT_EQ(QJsonDocument::fromJson(brimwatch({u"--waybar"_s}).out.toUtf8())
                  .object()
                  .value(u"tooltip"_s)
                  .toString(),
              u"Session: 83% used, resets in 2h 5m\nWeek: 96% used\nUpdated 3m ago\n"
              "Error: Claude Code is logged out."_s);
}

// --history beside the running app (its writer holds the file open): the kept readings of the
// last days, oldest first, as columns or as CSV. Without the app it leaves nothing behind;
// without a file, or with one it cannot read, it says so.
TEST(History, PrintsTheKeptReadingsAsColumnsOrCsv) {
    TestHome::clear();
    const QString folder = TestHome::path() + u"/.local/share/Brimwatch"_s;
    for (const bool empty : {false, true}) { // no file, or a file of no bytes
        if (empty)
            TestHome::write(u".local/share/Brimwatch/history.sqlite"_s, {});
        const ProcessRun none = brimwatch({u"--history"_s});
        EXPECT_EQ(none.out, u"no history yet: Brimwatch keeps one from its first reading\n"_s);
        EXPECT_EQ(none.status, 1);
    }
    const Instant now = std::chrono::system_clock::now();
    auto app = std::make_unique<HistoryDb>(folder + u"/history.sqlite"_s);
    for (const double daysAgo : {9.0, 2.0, 0.1})
        app->append(
            now - daysAgo * 86400,
            {Limit{u"Current session"_s, u"Session"_s, 10 * daysAgo, now + 3600.0, u"1am (UTC)"_s},
             Limit{u"Current week (Fable)"_s, u"Week · Fable"_s, 50, std::nullopt,
                   u"Oct 11, 1am (Europe/\"Riga\")"_s}});
    const QStringList columns = brimwatch({u"--history"_s}).out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(columns.size(), 5);
    EXPECT_TRUE(columns[0].startsWith(u"Read at           Limit            Used  Resets"_s))
        << columns[0];
    EXPECT_TRUE(columns[1].contains(u"Session         20.0%"_s)) << columns[1];
    EXPECT_EQ(columns[1].indexOf(u"Session"_s), columns[0].indexOf(u"Limit"_s));
    EXPECT_TRUE(columns[4].endsWith(u"Oct 11, 1am (Europe/\"Riga\")"_s)) << columns[4];

    const QStringList csv =
        brimwatch({u"--history"_s, u"--days"_s, u"10"_s, u"--csv"_s}).out.split(u'\n');
    ASSERT_EQ(csv.size(), 8); // a header, six rows, and the last line's end
    EXPECT_EQ(csv[0], u"at,title,label,percent,resets_at,reset_text"_s);
    EXPECT_TRUE(csv[1].startsWith(Fmt::isoUtc(now - 9.0 * 86400).left(16))) << csv[1];
    EXPECT_TRUE(csv[2].endsWith(u",Week · Fable,Current week (Fable),50,,"
                                "\"Oct 11, 1am (Europe/\"\"Riga\"\")\""_s))
        << csv[2];
    EXPECT_EQ(brimwatch({u"--history"_s, u"--days"_s, u"none"_s}).status, 2);
    app.reset();
    // Readers leave the app's file as it was: not moved, not changed, no journal beside it.
    const auto files = [&] {
        QStringList out;
        for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::System))
            out << f.fileName() + u' ' + QString::number(f.size()) + u' ' +
                       f.lastModified().toString(Qt::ISODateWithMs);
        return out;
    };
    const QStringList before = files();
    EXPECT_EQ(brimwatch({u"--history"_s}).out.count(u'\n'), 5);
    EXPECT_EQ(brimwatch({u"--status"_s}).status, 1);
    EXPECT_EQ(files(), before);
    ASSERT_EQ(before.size(), 1);
    const struct {
        std::function<void()> spoil;
        QString reason;
    } unreadable[] = {
        {[&] {
             TestHome::write(u".local/share/Brimwatch/history.sqlite"_s, QByteArray(4096, 'x'));
         },
         u"file is not a database"_s},
        {[&] {
             QFile::remove(folder + u"/history.sqlite"_s),
                 ::mkfifo(QFile::encodeName(folder + u"/history.sqlite"_s).constData(), 0600);
         },
         u"is not a regular file"_s},
    };
    for (const auto& c : unreadable) {
        c.spoil();
        const ProcessRun r = brimwatch({u"--history"_s});
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_TRUE(r.err.contains(c.reason)) << r.err;
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::System),
                  QStringList{u"history.sqlite"_s});
    }
}

// --waybar --watch: a new line within a second of a new reading, and gone with its reader
// (the shell's pipeline ends only once both of its sides have).
TEST(StatusAndWaybar, WatchFollowsTheAppAndEndsWithItsReader) {
    TestHome::clear();
    QProcess bar;
    bar.start(u"sh"_s, {u"-c"_s, u"\"$0\" --waybar --watch | sed -u 2q; echo done"_s,
                        QStringLiteral(BRIMWATCH_EXE)});
    ASSERT_TRUE(bar.waitForReadyRead(5000));
    EXPECT_TRUE(bar.readLine().contains("\"class\":\"error\""));
    spin(300);
    QDir().mkpath(TestHome::path() + u"/.local/share/Brimwatch"_s); // the app's first run
    spin(300);
    QElapsedTimer clock;
    clock.start();
    // Renamed into place, as the app writes it: a file being written is not a reading.
    const QString made = TestHome::write(u"usage.json.new"_s, usageJson(0, "null"));
    QFile::rename(made, TestHome::path() + u"/.local/share/Brimwatch/usage.json"_s);
    ASSERT_TRUE(bar.waitForReadyRead(5000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(bar.readLine().contains("\"class\":\"warn\""));
    EXPECT_TRUE(bar.waitForFinished(5000));
    EXPECT_EQ(bar.readAll(), "done\n");
    // With nowhere to write its first line, it does not wait for the next.
    QProcess closed;
    closed.start(u"sh"_s,
                 {u"-c"_s, u"\"$0\" --waybar --watch >&-"_s, QStringLiteral(BRIMWATCH_EXE)});
    EXPECT_TRUE(closed.waitForFinished(5000));
    EXPECT_EQ(closed.exitCode(), 0);
}

using Check = ToolFixture;

TEST_F(Check, PrintsTheRowsOfAReadingOrWhyThereAreNone) {
    const QString support = TestHome::path() + u"/.local/share/Brimwatch"_s;
    const struct {
        const char* name;
        QByteArray tool; // empty: no tool at all
        int status;
        QString out;
    } cases[] = {
        {"rows",
         "echo 'You are currently using your subscription'; echo\n"
         "echo 'Current session: 82% used'\n"
         "echo 'Current week (all models): 7.25% used · resets whenever'\n",
         0, u"Session | 82.0% | unparsed: -\nWeek · all models | 7.25% | unparsed: whenever\n"_s},
        {"logged out", "echo 'Not logged in · Please run /login'; exit 1\n", 1,
         u"error: "_s + QString::fromUtf16(UsageParser::kLoggedOut) + u'\n'},
        {"no plan", "cat '" BRIMWATCH_TEST_DATA "/cost-summary-2.1.332.txt'\n", 1,
         u"error: "_s + QString::fromUtf16(UsageParser::kNoPlan) + u'\n'},
        {"no tool", "", 1,
         u"error: Claude Code is not installed on this computer. Install it from "
         "https://claude.com/product/claude-code, log in once, then press Refresh.\n"_s},
    };
    for (const auto& c : cases) {
        TestHome::clear();
        if (!c.tool.isEmpty())
            TestHome::script(u".local/bin/claude"_s, c.tool);
        const ProcessRun r = brimwatch({u"--check"_s});
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.out, c.out) << c.name;
        // The tool ran in the support folder, and nothing was written there.
        EXPECT_TRUE(c.tool.isEmpty() || QDir(support).isEmpty()) << c.name;
    }
}

} // namespace
