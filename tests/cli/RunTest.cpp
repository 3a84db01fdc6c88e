#include "cli/ClaudeCLI.h"
#include "cli/LockedData.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"
#include "support/ToolFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

QString readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class Run : public ToolFixture {
protected:
    // Installs a fake tool in ~/.local/bin.
    QString tool(const QByteArray& body) { return TestHome::script(u".local/bin/claude"_s, body); }

    QString text(const ToolRun& run) {
        if (const auto* e = std::get_if<CLIError>(&run.result)) {
            ADD_FAILURE() << "failed: " << e->message.toStdString();
            return {};
        }
        return std::get<QString>(run.result);
    }
};

TEST_F(Run, NoToolAnywhereStartsNothing) {
    const CLIResult r = ClaudeCLI::run(options).result;
    ASSERT_TRUE(std::holds_alternative<CLIError>(r));
    EXPECT_EQ(std::get<CLIError>(r).message,
              u"Claude Code is not installed on this computer. Install it from "
              "https://claude.com/product/claude-code, log in once, then press Refresh."_s);
    EXPECT_FALSE(QDir(ClaudeCLI::supportDir()).exists());
}

TEST_F(Run, TheToolGetsFixedArgumentsFolderAndEnvironment) {
    qputenv("ANTHROPIC_API_KEY", "sk-secret");
    qputenv("https_proxy", "http://proxy:3128");
    qputenv("USER", "tester");
    qputenv("SHELL", "/bin/zsh");
    qunsetenv("LOGNAME");
    qunsetenv("TMPDIR");
    // /proc/$$/environ is exactly what the tool was started with, before the shell adds to it.
    const QString exe = tool("for a in \"$@\"; do echo \"arg:$a\"; done\n"
                             "echo \"cwd:$(pwd)\"\n"
                             "if read line; then echo stdin:data; else echo stdin:eof; fi\n"
                             "tr '\\0' '\\n' < /proc/$$/environ | sort\n");
    const QStringList lines = text(ClaudeCLI::run(options)).split(u'\n', Qt::SkipEmptyParts);
    qunsetenv("ANTHROPIC_API_KEY");
    qunsetenv("https_proxy");

    const QString home = TestHome::path();
    const QStringList path{home + u"/.local/bin"_s,
                           home + u"/.local/bin"_s,
                           home + u"/.claude/local"_s,
                           u"/usr/local/bin"_s,
                           u"/opt/homebrew/bin"_s,
                           home + u"/.npm-global/bin"_s,
                           home + u"/.bun/bin"_s,
                           u"/usr/bin"_s,
                           u"/bin"_s,
                           u"/usr/sbin"_s,
                           u"/sbin"_s};
    const QStringList expected{
        u"arg:-p"_s,
        u"arg:/usage"_s,
        u"arg:--model"_s,
        u"arg:usage-check-only"_s,
        u"arg:--no-session-persistence"_s,
        u"arg:--strict-mcp-config"_s,
        u"cwd:"_s + home + u"/.local/share/Brimwatch"_s,
        u"stdin:eof"_s,
        u"HOME="_s + home,
        u"LANG=en_US.UTF-8"_s,
        u"NO_COLOR=1"_s,
        u"PATH="_s + path.join(u':'),
        u"SHELL=/bin/zsh"_s,
        u"USER=tester"_s,
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(exe, home + u"/.local/bin/claude"_s);
}

TEST_F(Run, AToolOnlyOnThePathIsFoundAndRun) {
    const QByteArray path = qgetenv("PATH");
    TestHome::script(u"volta/bin/claude"_s, "echo \"run from $0\"\n");
    qputenv("PATH", QFile::encodeName(TestHome::path()) + "/volta/bin:" + path);
    const ToolRun r = ClaudeCLI::run(options);
    qputenv("PATH", path);
    EXPECT_EQ(text(r), u"run from "_s + TestHome::path() + u"/volta/bin/claude\n"_s);
}

TEST_F(Run, WhateverTheToolPrintsIsTheText) {
    const struct {
        const char* name;
        QByteArray body;
        QString expected;
    } cases[] = {
        {"stderr only", "echo 'to stderr' >&2\n", u"to stderr\n"_s},
        {"both, in order", "echo one; echo two >&2; echo three\n", u"one\ntwo\nthree\n"_s},
        {"login prompt, status 1", "echo 'Not logged in · Please run /login'; exit 1\n",
         u"Not logged in · Please run /login\n"_s},
        {"nothing", "exit 0\n", u""_s},
        {"bad UTF-8", "printf '\\377ok\\303'\n", u"\uFFFDok\uFFFD"_s},
    };
    for (const auto& c : cases) {
        tool(c.body);
        EXPECT_EQ(text(ClaudeCLI::run(options)), c.expected) << c.name;
    }
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
        const QString out = text(run);
        EXPECT_EQ(out.size(), 1 << 20) << c.name;
        EXPECT_TRUE(out.startsWith(u"aaaa"_s)) << c.name;
        EXPECT_EQ(run.stopped, c.stopped) << c.name;
    }
}

// Whether a process runs (a zombie has ended; a reaper may not have come by yet).
bool running(const QString& pidFile) {
    QFile stat(u"/proc/"_s + readFile(pidFile).trimmed() + u"/stat"_s);
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray fields = stat.readAll();
    return fields.mid(fields.lastIndexOf(')') + 2, 1) != "Z";
}

// Whatever the tool started is gone once the run is over: stopped with the tool by the
// watchdog, or after the tool exits (SIGTERM, then SIGKILL once the grace is over). A child
// that holds the pipe open holds up nothing.
TEST_F(Run, NothingOfTheToolOutlivesTheRun) {
    options.watchdog = std::chrono::milliseconds(300);
    options.killGrace = std::chrono::milliseconds(300);
    const QByteArray child = "sleep 30 & echo $! > \"$HOME/child\"\n";
    const QByteArray stubborn = "(trap '' TERM; sleep 30) & echo $! > \"$HOME/child\"\n";
    const struct {
        const char* name;
        QByteArray body;
        QString text;
        bool stopped;
    } cases[] = {
        {"exits", child + "echo done\n", u"done\n"_s, false},
        {"exits, its child ignores SIGTERM", stubborn + "echo done\n", u"done\n"_s, false},
        {"hangs", child + "echo started\nsleep 30\n", u"started\n"_s, true},
        {"hangs, ignoring SIGTERM", "trap '' TERM\n" + stubborn + "echo started\nsleep 30\n",
         u"started\n"_s, true},
    };
    for (const auto& c : cases) {
        tool(c.body);
        QElapsedTimer clock;
        clock.start();
        const ToolRun run = ClaudeCLI::run(options);
        EXPECT_LT(clock.elapsed(), 3000) << c.name;
        EXPECT_EQ(text(run), c.text) << c.name;
        EXPECT_EQ(run.stopped, c.stopped) << c.name;
        ClaudeCLI::settle(options);
        QElapsedTimer dying; // a signal takes a moment to land
        dying.start();
        while (running(TestHome::path() + u"/child"_s) && dying.elapsed() < 2000)
            QThread::msleep(10);
        EXPECT_FALSE(running(TestHome::path() + u"/child"_s)) << c.name;
    }
}

TEST_F(Run, WithoutItsFolderTheToolRunsAtHome) {
    const QString folder = TestHome::write(u".local/share/Brimwatch"_s, "a file");
    tool("pwd\n");
    const ToolRun run = ClaudeCLI::run(options);
    EXPECT_EQ(text(run), TestHome::path() + u'\n');
    EXPECT_EQ(run.folderProblem,
              u"Brimwatch can't use its folder "_s + folder + u": it is a file, not a folder"_s);
}

TEST_F(Run, AToolThatCannotStartIsAFailure) {
    TestHome::write(u".local/bin/claude"_s, "#!/nonexistent/interpreter\n", 0755);
    const CLIResult r = ClaudeCLI::run(options).result;
    ASSERT_TRUE(std::holds_alternative<CLIError>(r));
    EXPECT_TRUE(std::get<CLIError>(r).message.startsWith(u"Could not start Claude Code: "_s));
}

TEST_F(Run, UsageAnswersOnceOnTheCallersThread) {
    tool("echo 'Current session: 5% used'\n");
    QObject context;
    int calls = 0;
    QString got;
    ClaudeCLI::usage(
        &context,
        [&](Reading r) {
            ++calls;
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            got = r.output;
        },
        options);
    EXPECT_EQ(calls, 0); // never inline
    QElapsedTimer clock;
    clock.start();
    while (calls == 0 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(got, u"Current session: 5% used\n"_s);
}

TEST_F(Run, UsageForAContextThatIsGoneCallsNothing) {
    tool("sleep 0.2\necho late\n");
    auto* context = new QObject;
    bool called = false;
    ClaudeCLI::usage(
        context, [&](Reading) { called = true; }, options);
    delete context;
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

// What a run reads as: its limits, or the one sentence that says why there are none.
TEST(Reading, OfARun) {
    const Instant now = std::chrono::system_clock::now();
    const QString usage = u"Current session: 5% used"_s, other = u"Overloaded"_s;
    const struct {
        const char* name;
        ToolRun run;
        qsizetype limits;
        std::optional<QString> error;
    } cases[] = {
        {"usage", {usage, false, {}}, 1, std::nullopt},
        {"stopped, with usage", {usage, true, {}}, 1, std::nullopt},
        {"no usage", {other, false, {}}, 0, other},
        {"stopped, no usage", {other, true, {}}, 0, QString::fromUtf16(kNoAnswerInTime)},
        {"failed", {CLIError{u"boom"_s}, false, {}}, 0, u"boom"_s},
    };
    for (const auto& c : cases) {
        const Reading r = Reading::of(c.run, now);
        EXPECT_EQ(r.limits.size(), c.limits) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
    }
    EXPECT_EQ(Reading::of({usage, false, u"no folder"_s}, now).folderProblem, u"no folder"_s);
}

TEST(LockedData, CopiesNeverSplitAChunk) {
    LockedData data;
    const QByteArray chunk(4096, 'x');
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i)
            data.append(chunk);
    });
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(data.value().size() % chunk.size(), 0);
    writer.join();
    EXPECT_EQ(data.value().size(), 2000 * chunk.size());
}

} // namespace
