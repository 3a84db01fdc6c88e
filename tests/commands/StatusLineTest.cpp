// Claude Code's status-line command: documents to lines, and setting it up in Claude Code's
// settings on real files.

#include "commands/StatusLine.h"
#include "commands/StatusLineSetup.h"
#include "files/Files.h"
#include "files/Paths.h"
#include "support/Brimwatch.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"
#include "support/TestTime.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QThread>

#include <thread>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

QByteArray document(const QByteArray& limits) {
    return R"({"model":{"display_name":"Opus"},"workspace":{"current_dir":"/w"},"rate_limits":)" +
           limits + R"(,"version":"2.1.332"})";
}

QByteArray at(double ahead) {
    return QByteArray::number(
        qint64(std::chrono::duration_cast<std::chrono::seconds>(kNow.time_since_epoch()).count() +
               qint64(ahead)));
}

TEST(StatusLineMode, DocumentsToLines) {
    const QByteArray session =
        R"("five_hour":{"used_percentage":82.4,"resets_at":)" + at(7500) + "}";
    const QByteArray week =
        R"("seven_day":{"used_percentage":41.5,"resets_at":)" + at(4 * 86400) + "}";
    UsageFile::Snapshot good{
        kNow - 600,
        kNow - 600,
        std::nullopt,
        {Limit{u"Current session"_s, u"Session"_s, 12, kNow + 3600, {}},
         Limit{u"Current week (all models)"_s, u"Week · all models"_s, 30, kNow + 86400, {}}}};
    UsageFile::File fresh, stale, none;
    fresh.snapshot = stale.snapshot = good;
    stale.snapshot->updatedAt = kNow - 901;
    none.missing = true;
    const struct {
        const char* name;
        QByteArray input;
        const UsageFile::File& file;
        bool colour;
        const char* line;
        const char* err; // "" for nothing, else what standard error says
        bool sent;
    } cases[] = {
        {"both", document("{" + session + "," + week + "}"), none, false,
         "◔ 82% · 2h 5m │ week 41%", "", true},
        {"colours", document("{" + session + "," + week + "}"), none, true,
         "◔ \x1b[33m82%\x1b[0m · 2h 5m │ week 41%", "", true},
        {"only five_hour", document("{" + session + "}"), none, false, "◔ 82% · 2h 5m", "", true},
        // Whole percentages as the tool's own screen prints them: floored.
        {"99.9 %", document(R"({"five_hour":{"used_percentage":99.9,"resets_at":)" + at(60) + "}}"),
         none, true, "◔ \x1b[31m99%\x1b[0m · 1m", "", true},
        {"100 %", document(R"({"five_hour":{"used_percentage":100,"resets_at":)" + at(60) + "}}"),
         none, false, "◔ 100% · 1m", "", true},
        {"no rate_limits, fresh file", R"({"model":{}})", fresh, false, "◔ 12% · 1h │ week 30%", "",
         false},
        {"no rate_limits, stale file", R"({"model":{}})", stale, false, "◔ no plan limits", "",
         false},
        {"bad JSON", "{\"rate_limits\":", none, false, "◔ no reading",
         "the input is not a JSON object", false},
        {"wrong type", document(R"({"five_hour":{"used_percentage":"82","resets_at":1}})"), none,
         false, "◔ no reading", "five_hour is not a percentage and a reset time", false},
        {"rate_limits a list", document("[]"), fresh, false, "◔ 12% · 1h │ week 30%",
         "rate_limits is not an object", false},
        {"130 %", document(R"({"five_hour":{"used_percentage":130,"resets_at":)" + at(60) + "}}"),
         none, false, "◔ no reading", "five_hour: 130% is not a percentage", false},
        {"reset passed, week good",
         document(R"({"five_hour":{"used_percentage":5,"resets_at":)" + at(-10) + "}," + week +
                  "}"),
         none, false, "◔ week 41%", "five_hour: its reset has passed", true},
        {"a week 7.1 days ahead",
         document(R"({"seven_day":{"used_percentage":5,"resets_at":)" + at(7.1 * 86400) + "}}"),
         fresh, true, "◔ 12% · 1h │ week 30%",
         "seven_day: its reset is further away than its window is long", false},
        {"a session 5.1 hours ahead",
         document(R"({"five_hour":{"used_percentage":5,"resets_at":)" + at(5.1 * 3600) + "}}"),
         none, false, "◔ no reading",
         "five_hour: its reset is further away than its window is long", false},
        {"absurd time", document(R"({"five_hour":{"used_percentage":5,"resets_at":9760133900}})"),
         none, false, "◔ no reading", "five_hour: its reset is not a time", false},
        {"over 1 MB", document("{" + session + "}") + QByteArray(1 << 20, ' '), none, false,
         "◔ no reading", "the input is over 1 MB", false},
    };
    for (const auto& c : cases) {
        const auto o = StatusLineCommand::outcome(c.input, c.file, kNow, c.colour);
        EXPECT_EQ(o.report.out, QString::fromUtf8(c.line) + u'\n') << c.name;
        EXPECT_EQ(o.report.err,
                  *c.err ? u"brimwatch: "_s + QString::fromUtf8(c.err) + u'\n' : QString())
            << c.name;
        EXPECT_EQ(o.report.status, 0) << c.name;
        EXPECT_EQ(!o.send.empty(), c.sent) << c.name;
    }
}

// As Claude Code runs it, with no app to pass the reading to: colours unless NO_COLOR is set,
// and nothing on standard error.
TEST(StatusLineMode, AsClaudeCodeRunsIt) {
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QByteArray doc = QStringLiteral(R"({"rate_limits":{"five_hour":{"used_percentage":96,)"
                                          R"("resets_at":%1}}})")
                               .arg(now + 600)
                               .toUtf8();
    for (const char* noColor : {"", "1"}) {
        qputenv("NO_COLOR", noColor);
        const ProcessRun run = brimwatch({u"--statusline"_s}, doc);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, QString());
        EXPECT_TRUE(run.out.startsWith(*noColor ? u"◔ 96% · "_s : u"◔ \x1b[31m96%\x1b[0m · "_s))
            << run.out.toStdString();
    }
    qunsetenv("NO_COLOR");
    // An input that never ends, after a whole document or with nothing at all: answered
    // within a second all the same.
    for (const QByteArray& given : {doc, QByteArray()}) {
        QProcess line;
        line.start(QStringLiteral(BRIMWATCH_EXE), {u"--statusline"_s});
        line.write(given);
        ASSERT_TRUE(line.waitForFinished(1500)) << given.size();
        EXPECT_TRUE(line.readAllStandardOutput().startsWith(given.isEmpty() ? "◔ no reading"
                                                                            : "◔ \x1b[31m96%"));
    }
    // A bus that takes the connection and never answers holds it up no longer than the
    // deadline (the process included, well under a second).
    QLocalServer hung;
    ASSERT_TRUE(hung.listen(TestHome::path() + u"/hung-bus"_s));
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + hung.fullServerName().toUtf8());
    QElapsedTimer clock;
    clock.start();
    const ProcessRun run = brimwatch({u"--statusline"_s}, doc);
    EXPECT_LT(clock.elapsed(), 1000);
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.startsWith(u"◔ "_s));
}

// "--install" then "--uninstall" on real files, through the real executable; file contents
// before, after installing, and the exit statuses.
TEST(StatusLineMode, InstallAndUninstall) {
    const QString cmd = StatusLineSetup::commandFor(QStringLiteral(BRIMWATCH_EXE));
    EXPECT_EQ(StatusLineSetup::buildTree(QStringLiteral(BRIMWATCH_EXE)),
              QDir::cleanPath(QStringLiteral(BRIMWATCH_EXE) + u"/../../.."_s));
    EXPECT_EQ(StatusLineSetup::buildTree(u"/usr/bin/brimwatch"_s), std::nullopt);
    const QByteArray ours =
        R"("statusLine": {"type": "command", "command": ")" + cmd.toUtf8() + R"("})";
    const struct {
        const char* name;
        std::optional<QByteArray> before;
        std::optional<QByteArray> after; // nothing: left as it was
        int status;
        const char* undone = nullptr; // after uninstalling, when not the file as it was
    } cases[] = {
        {"no file", std::nullopt, "{\n  " + ours + "\n}\n", 0},
        {"an empty object", "{}", "{" + ours + "}", 0},
        {"an empty object on lines", "{\n}\n", "{\n  " + ours + "\n}\n", 0},
        {"one key", "{\"model\": \"opus\"}\n", "{\"model\": \"opus\", " + ours + "}\n", 0},
        {"an empty file", "", "{\n  " + ours + "\n}\n", 0, "{\n}\n"},
        {"other keys", "{\n    \"model\": \"opus\",\n    \"env\": {\"A\": \"}\"}\n}\n",
         "{\n    \"model\": \"opus\",\n    \"env\": {\"A\": \"}\"},\n    " + ours + "\n}\n", 0},
        {"one line", R"({"a":[1,{"b":2}],"c":true})", R"({"a":[1,{"b":2}],"c":true, )" + ours + "}",
         0},
        {"ours already", "{" + ours + "}", std::nullopt, 0},
        {"ours from elsewhere",
         R"({"statusLine":{"type":"command","command":"'/opt/old/brimwatch' --statusline"}})",
         std::nullopt, 0},
        {"another command", R"({"statusLine":{"type":"command","command":"ccline"}})", std::nullopt,
         1},
        {"invalid JSON", "{\"a\": 1,}", std::nullopt, 1},
    };
    for (const char* configDir : {"", "/claude-work"}) {
        qputenv("CLAUDE_CONFIG_DIR", *configDir ? (TestHome::path() + configDir).toUtf8() : "");
        const QString file =
            TestHome::path() + (*configDir ? configDir : "/.claude") + u"/settings.json"_s;
        for (const auto& c : cases) {
            TestHome::clear();
            if (c.before)
                TestHome::write(file.mid(TestHome::path().size() + 1), *c.before, 0640);
            if (!c.before) { // from a build tree, only when asked again with --force
                const ProcessRun refused = brimwatch({u"--statusline"_s, u"--install"_s});
                EXPECT_EQ(refused.status, 1);
                EXPECT_TRUE(refused.err.contains(u"build tree"_s)) << refused.err;
                EXPECT_FALSE(QFile::exists(file));
            }
            const ProcessRun in = brimwatch({u"--statusline"_s, u"--install"_s, u"--force"_s});
            EXPECT_EQ(in.status, c.status) << c.name << in.err;
            const QByteArray expected = c.after.value_or(c.before.value_or(QByteArray()));
            EXPECT_EQ(TestHome::read(file).toUtf8(), expected) << c.name;
            if (c.status == 1) {
                EXPECT_TRUE(in.err.contains(cmd)) << c.name << ": the snippet to add by hand";
            }
            if (!c.after)
                continue;
            EXPECT_EQ(QFile::permissions(file) & 0x7777, c.before ? 0x6640 : 0x6600)
                << c.name << ": its mode, or private";
            EXPECT_EQ(TestHome::read(file + u".bak-brimwatch"_s).toUtf8(),
                      c.before.value_or(QByteArray()))
                << c.name;
            EXPECT_EQ(brimwatch({u"--statusline"_s, u"--uninstall"_s}).status, 0) << c.name;
            EXPECT_EQ(TestHome::read(file).toUtf8(),
                      c.undone ? QByteArray(c.undone) : c.before.value_or("{\n}\n"))
                << c.name;
        }
    }
    qunsetenv("CLAUDE_CONFIG_DIR");
}

} // namespace

namespace {

// The person's own settings on a bad day: a byte-order mark and CRLF kept, a link kept and
// its target edited, what can't be edited safely refused with the snippet, an editor saving
// meanwhile (the file empty for a moment, or rewritten between the read and the rename).
TEST(StatusLineMode, TheUsersSettingsSurviveOddFilesAndRaces) {
    const QString cmd = u"/usr/bin/brimwatch --statusline"_s;
    const QByteArray ours =
        R"("statusLine": {"type": "command", "command": ")" + cmd.toUtf8() + R"("})";
    const QString dir = TestHome::path() + u"/.claude"_s, file = dir + u"/settings.json"_s;
    const auto put = [&](const QByteArray& text, int mode = 0640) {
        TestHome::write(u".claude/settings.json"_s, text, mode);
    };
    std::thread editor;
    const struct {
        const char* name;
        std::function<void()> before;
        std::function<void(int)> meanwhile;
        QByteArray after; // the file after install; empty: refused, the file as it was
        const char* why = "";
    } rows[] = {
        {"a byte-order mark",
         [&] { put("\xEF\xBB\xBF{\"a\": 1}"); },
         {},
         "\xEF\xBB\xBF{\"a\": 1, " + ours + "}"},
        {"CRLF",
         [&] { put("{\r\n  \"a\": 1\r\n}\r\n"); },
         {},
         "{\r\n  \"a\": 1,\r\n  " + ours + "\r\n}\r\n"},
        {"a link to another folder",
         [&] {
             TestHome::write(u"dotfiles/claude.json"_s, "{}", 0640);
             QDir().mkpath(dir);
             QFile::link(TestHome::path() + u"/dotfiles/claude.json"_s, file);
         },
         {},
         "{" + ours + "}"},
        {"a dangling link",
         [&] {
             QDir().mkpath(dir);
             QFile::link(TestHome::path() + u"/gone.json"_s, file);
         },
         {},
         {},
         "which is not there"},
        {"a read-only file", [&] { put("{}", 0444); }, {}, {}, "is read-only"},
        {"a FIFO",
         [&] { QDir().mkpath(dir), ::mkfifo(QFile::encodeName(file), 0600); },
         {},
         {},
         "not a regular file"},
        {"statusLine twice",
         [&] { put(R"({"statusLine": {"command": "a"}, "statusLine": {"command": "b"}})"); },
         {},
         {},
         "statusLine more than once"},
        {"rewritten before the rename", [&] { put("{\"a\": 1}"); },
         [&](int attempt) {
             if (attempt == 1)
                 put("{\"b\": 2}");
         },
         "{\"b\": 2, " + ours + "}"},
        {"rewritten at every try",
         [&] { put("{\"a\": 1}"); },
         [&](int attempt) { put("{\"n\": " + QByteArray::number(attempt) + "}"); },
         {},
         "kept changing"},
        {"empty while an editor saves it",
         [&] {
             put("");
             editor = std::thread([&] {
                 QThread::msleep(150);
                 put("{\"a\": 1}");
             });
         },
         {},
         "{\"a\": 1, " + ours + "}"},
    };
    for (const auto& r : rows) {
        TestHome::clear();
        r.before();
        const std::optional<Report> report = StatusLineSetup::install(cmd, r.meanwhile);
        if (editor.joinable())
            editor.join();
        EXPECT_EQ(report->status, r.after.isEmpty() ? 1 : 0) << r.name << report->err;
        if (r.after.isEmpty()) {
            EXPECT_TRUE(report->err.contains(QLatin1String(r.why))) << r.name << report->err;
            EXPECT_TRUE(report->err.contains(cmd)) << r.name << ": the snippet";
            continue;
        }
        const QFileInfo target(QFileInfo(file).canonicalFilePath());
        EXPECT_EQ(Files::readRegular(target.filePath(), 1 << 20).data, r.after) << r.name;
        EXPECT_FALSE(TestHome::read(target.filePath() + u".bak-brimwatch"_s).isEmpty()) << r.name;
        EXPECT_EQ(QFileInfo(file).isSymLink(), QByteArray(r.name).contains("link")) << r.name;
        EXPECT_EQ(QFile::permissions(target.filePath()) & 0x7777, 0x6640) << r.name;
        EXPECT_EQ(StatusLineSetup::uninstall(cmd).status, 0) << r.name;
    }
}

} // namespace
