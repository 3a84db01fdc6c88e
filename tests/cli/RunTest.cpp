// Finding and running the tool: real scripts named `claude` in a temporary home.

#include "cli/ClaudeCLI.h"
#include "cli/Leftovers.h"
#include "cli/ProcessGroup.h"
#include "files/Paths.h"
#include "support/Table.h"
#include "support/TestHome.h"
#include "support/ToolFixture.h"
#include "usage/UsageParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QThreadPool>

using namespace Qt::StringLiterals;

namespace {

class Run : public ToolFixture {
protected:
    // Installs a fake tool in ~/.local/bin.
    QString tool(const QByteArray& body) { return TestHome::script(u".local/bin/claude"_s, body); }

    // What the run printed, or "failed: " and why.
    static QString text(const ToolRun& run) {
        if (const auto* e = std::get_if<CLIError>(&run.result))
            return u"failed: "_s + e->message;
        return std::get<QString>(run.result);
    }
};

TEST_F(Run, NoToolAnywhereStartsNothing) {
    EXPECT_EQ(text(ClaudeCLI::run(options)),
              u"failed: Claude Code is not installed on this computer. Install it from "
              "https://claude.com/product/claude-code, log in once, then press Refresh."_s);
    EXPECT_FALSE(QDir(Paths::supportDir()).exists());
}

TEST_F(Run, TheToolGetsFixedArgumentsFolderAndEnvironment) {
    qputenv("ANTHROPIC_API_KEY", "sk-secret");
    qputenv("https_proxy", "http://proxy:3128");
    qputenv("CLAUDE_CONFIG_DIR", "/elsewhere"); // the app's own is not the default account's
    qputenv("USER", "tester");
    qputenv("SHELL", "/bin/zsh");
    qunsetenv("LOGNAME");
    qunsetenv("TMPDIR");
    // /proc/$$/environ is exactly what the tool was started with, before the shell adds to it.
    tool("for a in \"$@\"; do echo \"arg:$a\"; done\n"
         "echo \"cwd:$(pwd)\"\n"
         "if read line; then echo stdin:data; else echo stdin:eof; fi\n"
         "tr '\\0' '\\n' < /proc/$$/environ | sort\n");
    QDir(TestHome::path()).mkpath(u"work"_s);
    const QString common = uR"(arg:-p
arg:/usage
arg:--model
arg:usage-check-only
arg:--no-session-persistence
arg:--strict-mcp-config
cwd:~/.local/share/Brimwatch
stdin:eof
)"_s;
    const QString env = uR"(HOME=~
LANG=en_US.UTF-8
NO_COLOR=1
PATH=~/.local/bin:~/.local/bin:~/.claude/local:/usr/local/bin:/opt/homebrew/bin:~/.npm-global/bin:~/.bun/bin:/usr/bin:/bin:/usr/sbin:/sbin
SHELL=/bin/zsh
USER=tester
)"_s;
    const QString mark = u"BRIMWATCH_RUN=%1\n"_s.arg(Leftovers::mark()); // known by the sweep
    const struct {
        QString name, configDir, want;
    } rows[] = {
        {u"the default account"_s, u""_s, common + mark + env},
        {u"another account"_s, u"~/work"_s, common + mark + u"CLAUDE_CONFIG_DIR=~/work\n"_s + env},
        {u"an account whose folder is gone"_s, u"~/gone"_s,
         u"failed: This account's folder ~/gone is not there. Remove the account, or add it "
         "again with its folder."_s},
    };
    for (const auto& r : rows) {
        options.configDir = QString(r.configDir).replace(u'~', TestHome::path());
        EXPECT_EQ(text(ClaudeCLI::run(options)), QString(r.want).replace(u'~', TestHome::path()))
            << r.name.toStdString();
    }
    qunsetenv("ANTHROPIC_API_KEY");
    qunsetenv("https_proxy");
    qunsetenv("CLAUDE_CONFIG_DIR");
}

TEST_F(Run, WhateverTheToolPrintsIsTheText) {
    const Row rows[] = {
        {"echo 'to stderr' >&2", "to stderr\n"},
        {"echo one; echo two >&2; echo three", "one\ntwo\nthree\n"},
        {"echo 'Not logged in'; exit 1", "Not logged in\n"},
        {"exit 0", ""},
        {"printf '\\377ok\\303'", "\uFFFDok\uFFFD"},
        // A tool that cannot start is a failure.
        {"#!/nonexistent/interpreter",
         "failed: Could not start Claude Code: execve: No such file or directory"},
    };
    checkTable(rows, [&](const QString& body) {
        TestHome::write(u".local/bin/claude"_s,
                        (body.startsWith(u"#!") ? body : u"#!/bin/sh\n"_s + body).toUtf8(), 0755);
        return text(ClaudeCLI::run(options));
    });
}

// After the well-known folders and the Node versions: the app's own PATH, absolute entries
// only; then the login shell. The tool found there is the one that runs.
TEST_F(Run, AToolOnlyOnThePathIsFoundAndRun) {
    const QByteArray path = qgetenv("PATH");
    const QString onPath = TestHome::script(u"volta/bin/claude"_s, "echo \"run from $0\"\n");
    TestHome::script(u"relative/claude"_s, "");
    QDir::setCurrent(TestHome::path());
    qputenv("PATH", "relative::" + QFile::encodeName(TestHome::path()) + "/volta/bin:" + path);
    options.loginShell = TestHome::script(u"shells/other"_s, "echo /bin/sh\n");
    const ToolRun run = ClaudeCLI::run(options);
    EXPECT_EQ(text(run), u"run from "_s + onPath + u'\n');
    const QString nvm = TestHome::script(u".nvm/versions/node/v20/bin/claude"_s, "");
    EXPECT_EQ(ClaudeCLI::find(options), nvm);
    qputenv("PATH", path);
}

// Only the first megabyte is kept; the rest is read and dropped, so the tool never blocks.
TEST_F(Run, TheFirstMegabyteIsKeptAndTheRestDrained) {
    options.killGrace = std::chrono::milliseconds(300);
    const struct {
        const char* name;
        QByteArray body;
        int watchdog; // ms
        bool stopped;
    } cases[] = {
        {"50 MB, then exits", "head -c 52428800 /dev/zero | tr '\\0' a\necho end\n", 20000, false},
        {"without end", "yes aaaa\n", 1000, true},
    };
    for (const auto& c : cases) {
        tool(c.body);
        options.watchdog = std::chrono::milliseconds(c.watchdog);
        const ToolRun run = ClaudeCLI::run(options);
        EXPECT_EQ(text(run).size(), 1 << 20) << c.name;
        EXPECT_TRUE(text(run).startsWith(u"aaaa"_s)) << c.name;
        EXPECT_EQ(run.stopped, c.stopped) << c.name;
    }
}

// Whatever the tool started is gone once the run is over: stopped with the tool by the
// watchdog (the whole group gets SIGTERM, then SIGKILL), or after the tool exits (SIGTERM,
// then SIGKILL once the grace is over). A child that holds the pipe open holds up nothing.
TEST_F(Run, NothingOfTheToolOutlivesTheRun) {
    options.watchdog = std::chrono::milliseconds(300);
    options.killGrace = std::chrono::milliseconds(600);
    const QByteArray child = "sleep 30 & c=$!; echo $c > \"$HOME/child\"\n";
    const QByteArray stubborn = "(trap '' TERM; sleep 30) & echo $! > \"$HOME/child\"\n";
    // A tool that outlives SIGTERM says whether its child had it too.
    const QByteArray asks = "trap 'sleep 0.1; grep -qs \"^[0-9]* ([^)]*) [^Z]\" /proc/$c/stat "
                            "&& echo child-alive || echo child-gone' TERM\n";
    const struct {
        const char* name;
        QByteArray body;
        QString text;
        bool stopped;
    } cases[] = {
        {"exits", child + "echo done\n", u"done\n"_s, false},
        {"exits, its child ignores SIGTERM", stubborn + "echo done\n", u"done\n"_s, false},
        {"hangs", child + "echo started\nsleep 30\n", u"started\n"_s, true},
        {"hangs, catching SIGTERM",
         asks + child + "echo started\nexec 2>/dev/null\nwhile :; do sleep 0.05; done\n",
         u"started\nchild-gone\n"_s, true},
        {"hangs, ignoring SIGTERM", "trap '' TERM\n" + stubborn + "echo started\nsleep 30\n",
         u"started\n"_s, true},
    };
    // Meanwhile its group is written down (once it has started), for a start after a crash to
    // sweep; then forgotten.
    const QString record = TestHome::path() + u"/tool.pid"_s;
    Leftovers::recordIn(record);
    for (const auto& c : cases) {
        tool("for i in $(seq 200); do [ -s \"$HOME/tool.pid\" ] && break; sleep 0.01; done\n"
             "echo \"$$ $(cut -d' ' -f1 \"$HOME/tool.pid\")\" > \"$HOME/recorded\"\n" +
             c.body);
        QElapsedTimer clock;
        clock.start();
        const ToolRun run = ClaudeCLI::run(options);
        EXPECT_LT(clock.elapsed(), 3000) << c.name;
        EXPECT_EQ(text(run), c.text) << c.name;
        EXPECT_EQ(run.stopped, c.stopped) << c.name;
        ClaudeCLI::settle(options);
        const QString pid = TestHome::read(TestHome::path() + u"/child"_s).trimmed();
        EXPECT_TRUE(waitUntil(2000, [&] { // a signal takes a moment to land
            const QString stat = TestHome::read(u"/proc/"_s + pid + u"/stat"_s);
            return stat.isEmpty() || stat.mid(stat.lastIndexOf(u')') + 2, 1) == u"Z";
        })) << c.name;
        const QStringList recorded =
            TestHome::read(TestHome::path() + u"/recorded"_s).trimmed().split(u' ');
        EXPECT_EQ(recorded.value(0), recorded.value(1)) << c.name;
        EXPECT_FALSE(QFile::exists(record)) << c.name;
    }
    Leftovers::recordIn({});
}

TEST_F(Run, WithoutItsFolderTheToolRunsAtHome) {
    const QString folder = TestHome::write(u".local/share/Brimwatch"_s, "a file");
    tool("pwd\n");
    const ToolRun run = ClaudeCLI::run(options);
    EXPECT_EQ(text(run), TestHome::path() + u'\n');
    EXPECT_EQ(run.folderProblem,
              u"Brimwatch can't use its folder "_s + folder + u": it is a file, not a folder"_s);
}

TEST_F(Run, UsageParsesOffTheCallersThreadAndAnswersOnIt) {
    tool("echo 'Current session: 5% used'\n");
    QObject context;
    QList<Reading> got;
    ClaudeCLI::usage(
        &context,
        [&](Reading r) {
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            got << r;
        },
        options);
    EXPECT_TRUE(got.isEmpty()) << "never inline";
    QElapsedTimer clock;
    clock.start();
    while (got.isEmpty() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].limits.value(0).title, u"Session"_s);
}

// A tool that hangs is stopped after a minute, and killed 5 s later; a login script gets 10 s.
TEST(RunLimits, ByDefault) {
    const ClaudeCLI::Options defaults;
    EXPECT_EQ(defaults.watchdog, std::chrono::seconds(60));
    EXPECT_EQ(defaults.killGrace, std::chrono::seconds(5));
    EXPECT_EQ(defaults.shellTimeout, std::chrono::seconds(10));
}

// What a run reads as: its limits, or the one sentence that says why there are none.
TEST(Reading, OfARun) {
    const Instant now = std::chrono::system_clock::now();
    const QString usage = u"Current session: 5% used"_s, other = u"Overloaded"_s,
                  planLine = u"You are currently using your subscription to power your Claude "
                             u"Code usage"_s,
                  off = TestHome::path() + u"/off"_s;
    TestHome::write(u"off/settings.json"_s,
                    "\xEF\xBB\xBF{\"env\": {\"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC\": false}}");
    const struct {
        const char* name;
        ToolRun run;
        qsizetype limits;
        std::optional<QString> error;
    } cases[] = {
        {"usage", {usage, false, {}, {}}, 1, std::nullopt},
        {"stopped, with usage", {usage, true, {}, {}}, 1, std::nullopt},
        {"no usage", {other, false, {}, {}}, 0, other},
        {"stopped, no usage", {other, true, {}, {}}, 0, QString::fromUtf16(kNoAnswerInTime)},
        {"stopped, said nothing",
         {QString(), true, {}, {}},
         0,
         QString::fromUtf16(kNoAnswerInTime)},
        // A stopped tool that said why keeps its reason.
        {"stopped, logged out",
         {u"Please run /login"_s, true, {}, {}},
         0,
         QString::fromUtf16(UsageParser::kLoggedOut)},
        {"stopped, no plan",
         {TestHome::read(u"" BRIMWATCH_TEST_DATA "/cost-summary-2.1.332.txt"_s), true, {}, {}},
         0,
         QString::fromUtf16(UsageParser::kNoPlan)},
        {"stopped, offline",
         {u"API Error: Connection error."_s, true, {}, {}},
         0,
         u"API Error: Connection error."_s},
        {"failed", {CLIError{u"boom"_s}, false, {}, {}}, 0, u"boom"_s},
        // The plan's line alone: the request failed, or the account's settings switch it off.
        {"no figures", {planLine, false, {}, {}}, 0, QString::fromUtf16(kUsageNotFetched)},
        {"no figures, switched off",
         {planLine, false, {}, off},
         0,
         u"Claude Code doesn't fetch usage while CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC is set "
         u"in the \"env\" of "_s +
             off + u"/settings.json. Remove it there, then press Refresh."_s},
        {"another account, logged out",
         {u"Please run /login"_s, false, {}, u"/w"_s},
         0,
         u"Claude Code is logged out. Open Terminal, type CLAUDE_CONFIG_DIR=/w claude, log in, "
         "then press Refresh."_s},
    };
    for (const auto& c : cases) {
        const Reading r = Reading::of(c.run, now);
        EXPECT_EQ(r.limits.size(), c.limits) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
    }
    EXPECT_EQ(Reading::of({usage, false, u"no folder"_s, {}}, now).folderProblem, u"no folder"_s);
}

} // namespace

namespace {

// At a start, a group written down is ended only when it is still the one this app started:
// its leader started at the time written, and every process carries the app's mark.
TEST(Sweep, EndsOnlyWhatIsOurs) {
    const QString record = TestHome::path() + u"/tool.pid"_s;
    Leftovers::recordIn(record);
    const struct {
        const char* name;
        bool marked;
        const char* started; // %1 the leader's start time
        bool ended;
    } rows[] = {
        {"ours", true, "%1", true},
        {"a group without the mark (a number reused)", false, "%1", false},
        {"a leader started at another time", true, "1%1", false},
    };
    for (const auto& r : rows) {
        QProcess group;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (r.marked)
            env.insert(Leftovers::markName(), Leftovers::mark());
        group.setProcessEnvironment(env);
        ProcessGroup::startOwnGroup(group);
        group.start(u"sh"_s, {u"-c"_s, u"sleep 30 & wait"_s});
        ASSERT_TRUE(group.waitForStarted());
        const pid_t leader = pid_t(group.processId());
        TestHome::write(u"tool.pid"_s,
                        u"%1 %2 %3\n"_s.arg(leader)
                            .arg(QString::fromLatin1(r.started).arg(*Leftovers::startTime(leader)))
                            .arg(Leftovers::mark())
                            .toUtf8());
        EXPECT_EQ(Leftovers::sweep().has_value(), r.ended) << r.name;
        EXPECT_EQ(group.waitForFinished(r.ended ? 2000 : 300), r.ended) << r.name;
        EXPECT_FALSE(QFile::exists(record)) << r.name;
        ProcessGroup::signal(leader, SIGKILL);
        group.waitForFinished();
    }
    Leftovers::recordIn({});
}

} // namespace
