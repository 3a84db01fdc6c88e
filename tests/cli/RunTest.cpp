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

class Run : public ToolFixture {
protected:
    // Installs a fake tool in ~/.local/bin.
    QString tool(const QByteArray& body) { return TestHome::script(u".local/bin/claude"_s, body); }

    QString text(const CLIResult& r) {
        if (const auto* e = std::get_if<CLIError>(&r)) {
            ADD_FAILURE() << "failed: " << e->message.toStdString();
            return {};
        }
        return std::get<QString>(r);
    }
};

TEST_F(Run, NoToolAnywhereStartsNothing) {
    const CLIResult r = ClaudeCLI::run(options);
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
    const CLIResult r = ClaudeCLI::run(options);
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

TEST_F(Run, FiftyMegabytesArriveWhole) {
    tool("head -c 52428800 /dev/zero | tr '\\0' a\necho end\n");
    const QString out = text(ClaudeCLI::run(options));
    ASSERT_EQ(out.size(), 52428800 + 4);
    EXPECT_EQ(out.count(u'a'), 52428800);
    EXPECT_TRUE(out.endsWith(u"end\n"_s));
}

TEST_F(Run, TheWatchdogStopsAToolThatHangs) {
    options.watchdog = std::chrono::milliseconds(300);
    options.killGrace = std::chrono::milliseconds(300);
    const struct {
        const char* name;
        QByteArray body;
    } cases[] = {
        {"stops on SIGTERM", "echo started\nsleep 30\necho never\n"},
        {"ignores SIGTERM", "trap '' TERM\necho started\nsleep 30\necho never\n"},
    };
    for (const auto& c : cases) {
        tool(c.body);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(text(ClaudeCLI::run(options)), u"started\n"_s) << c.name;
        EXPECT_LT(clock.elapsed(), 5000) << c.name;
    }
}

TEST_F(Run, AGrandchildHoldingThePipeDoesNotHoldTheRun) {
    tool("sleep 3 &\necho done\n");
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(text(ClaudeCLI::run(options)), u"done\n"_s);
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(Run, AToolThatCannotStartIsAFailure) {
    TestHome::write(u".local/bin/claude"_s, "#!/nonexistent/interpreter\n", 0755);
    const CLIResult r = ClaudeCLI::run(options);
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
        [&](CLIResult r) {
            ++calls;
            EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
            got = std::get<QString>(r);
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
        context, [&](CLIResult) { called = true; }, options);
    delete context;
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
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
