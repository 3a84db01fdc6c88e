#include "cli/ClaudeCLI.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"
#include "support/ToolFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class Find : public ToolFixture {};

TEST_F(Find, SearchPathsAreExpandedOnceInOrder) {
    const QStringList& paths = ClaudeCLI::searchPaths();
    const QString home = TestHome::path();
    EXPECT_EQ(paths, (QStringList{home + u"/.local/bin"_s, home + u"/.claude/local"_s,
                                  u"/usr/local/bin"_s, u"/opt/homebrew/bin"_s,
                                  home + u"/.npm-global/bin"_s, home + u"/.bun/bin"_s}));
    EXPECT_EQ(&ClaudeCLI::searchPaths(), &paths);
}

TEST_F(Find, TheFirstFolderOfTheListWins) {
    TestHome::script(u".bun/bin/claude"_s, "");
    const QString first = TestHome::script(u".local/bin/claude"_s, "");
    TestHome::script(u".npm-global/bin/claude"_s, "");
    EXPECT_EQ(ClaudeCLI::find(options), first);
}

TEST_F(Find, WhatCannotBeExecutedIsSkipped) {
    TestHome::write(u".local/bin/claude"_s, "#!/bin/sh\n", 0644);
    QDir().mkpath(TestHome::path() + u"/.claude/local/claude"_s); // a folder, not a file
    const QString bun = TestHome::script(u".bun/bin/claude"_s, "");
    EXPECT_EQ(ClaudeCLI::find(options), bun);
}

TEST_F(Find, NodeVersionsAreTriedInDescendingStringOrder) {
    const QString base = u".nvm/versions/node/"_s;
    TestHome::write(base + u".hidden"_s, "x");
    for (const char* v : {"v18.20.4", "v20.11.1", "v9.11.2"})
        TestHome::script(base + QString::fromLatin1(v) + u"/bin/claude"_s, "");
    const QString root = TestHome::path() + u'/' + base;
    EXPECT_EQ(ClaudeCLI::find(options), root + u"v9.11.2/bin/claude"_s);
    QFile::remove(root + u"v9.11.2/bin/claude"_s);
    EXPECT_EQ(ClaudeCLI::find(options), root + u"v20.11.1/bin/claude"_s);
    QFile::remove(root + u"v20.11.1/bin/claude"_s);
    EXPECT_EQ(ClaudeCLI::find(options), root + u"v18.20.4/bin/claude"_s);
    // Found afresh on every call: once gone, it is gone.
    QFile::remove(root + u"v18.20.4/bin/claude"_s);
    EXPECT_EQ(ClaudeCLI::find(options), std::nullopt);
}

// After the well-known folders and the Node versions: the app's own PATH, absolute entries only.
TEST_F(Find, ThenTheAppsOwnPath) {
    const QByteArray path = qgetenv("PATH");
    const QString onPath = TestHome::script(u"tools/claude"_s, "");
    TestHome::script(u"relative/claude"_s, "");
    QDir::setCurrent(TestHome::path());
    qputenv("PATH", "relative::" + QFile::encodeName(TestHome::path()) + "/tools:" + path);
    options.loginShell = TestHome::script(u"shells/other"_s, "echo /bin/sh\n");
    EXPECT_EQ(ClaudeCLI::find(options), onPath);
    const QString nvm = TestHome::script(u".nvm/versions/node/v20/bin/claude"_s, "");
    EXPECT_EQ(ClaudeCLI::find(options), nvm);
    qputenv("PATH", path);
}

TEST_F(Find, TheLoginShellIsAskedLast) {
    const QString tool = TestHome::script(u"elsewhere/claude"_s, "");
    const QString notExecutable = TestHome::write(u"elsewhere/notes"_s, "x");
    // The shell checks that it was asked the right question.
    const QByteArray asked = "[ \"$1\" = -lc ] && [ \"$2\" = 'command -v claude' ] || exit 3\n";
    const struct {
        const char* name;
        QByteArray body;
        std::optional<QString> expected;
    } cases[] = {
        {"path", asked + "echo '" + tool.toUtf8() + "'\n", tool},
        {"padded", asked + "printf '  %s \\n\\n' '" + tool.toUtf8() + "'\n", tool},
        {"two lines", asked + "echo 'Welcome back'; echo '" + tool.toUtf8() + "'\n", std::nullopt},
        {"nothing", asked, std::nullopt},
        {"alias", asked + "echo 'alias claude=/somewhere/claude'\n", std::nullopt},
        {"not executable", asked + "echo '" + notExecutable.toUtf8() + "'\n", std::nullopt},
    };
    for (const auto& c : cases) {
        options.loginShell = TestHome::script(u"shells/"_s + QString::fromLatin1(c.name), c.body);
        EXPECT_EQ(ClaudeCLI::find(options), c.expected) << c.name;
    }
}

TEST_F(Find, AShellThatHangsOrIsMissingFindsNothing) {
    options.loginShell = TestHome::script(u"shells/hang"_s, "sleep 30\n");
    options.shellTimeout = std::chrono::milliseconds(300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(ClaudeCLI::find(options), std::nullopt);
    EXPECT_LT(clock.elapsed(), 5000);

    options.loginShell = TestHome::path() + u"/shells/missing"_s;
    EXPECT_EQ(ClaudeCLI::find(options), std::nullopt);
}

} // namespace
