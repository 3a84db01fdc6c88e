#include "cli/ClaudeCLI.h"
#include "support/Table.h"
#include "support/TestHome.h"
#include "support/ToolFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

class Find : public ToolFixture {
protected:
    // Where the tool was found, under "~", or "-".
    QString found() {
        const auto path = ClaudeCLI::find(options);
        return path ? QString(*path).replace(TestHome::path(), u"~"_s) : u"-"_s;
    }
};

TEST_F(Find, TheFirstFolderOfTheListWinsIfItsToolCanBeRun) {
    TestHome::script(u".npm-global/bin/claude"_s, "");
    TestHome::script(u".bun/bin/claude"_s, "");
    TestHome::write(u".local/bin/claude"_s, "#!/bin/sh\n", 0644); // not executable
    QDir().mkpath(TestHome::path() + u"/.claude/local/claude"_s); // a folder, not a file
    EXPECT_EQ(found(), u"~/.npm-global/bin/claude"_s);
}

// Version folders by string, last first (v9 before v20); found afresh at every call.
TEST_F(Find, NodeVersionsAreTriedInDescendingStringOrder) {
    const QString base = u".nvm/versions/node/"_s;
    TestHome::write(base + u".hidden"_s, "x");
    for (const char* v : {"v18.20.4", "v20.11.1", "v9.11.2"})
        TestHome::script(base + QString::fromLatin1(v) + u"/bin/claude"_s, "");
    for (const char* v : {"v9.11.2", "v20.11.1", "v18.20.4"}) {
        EXPECT_EQ(found(), u"~/"_s + base + QString::fromLatin1(v) + u"/bin/claude"_s);
        QFile::remove(TestHome::path() + u'/' + base + QString::fromLatin1(v) + u"/bin/claude"_s);
    }
    EXPECT_EQ(found(), u"-"_s);
}

TEST_F(Find, TheLoginShellIsAskedLast) {
    TestHome::script(u"elsewhere/claude"_s, "");
    TestHome::write(u"elsewhere/notes"_s, "x");
    // The shell checks that it was asked the right question.
    const Row rows[] = {
        {"echo ~/elsewhere/claude", "~/elsewhere/claude"},
        {"printf '  %s \\n\\n' ~/elsewhere/claude", "~/elsewhere/claude"},
        {"echo 'Welcome back'; echo ~/elsewhere/claude", "-"},
        {"true", "-"},
        {"echo 'alias claude=/somewhere/claude'", "-"},
        {"echo ~/elsewhere/notes", "-"},
        {"sleep 30", "-"},
    };
    options.shellTimeout = std::chrono::milliseconds(300);
    checkTable(rows, [&](QString body) {
        options.loginShell = TestHome::script(
            u"shells/asked"_s, "[ \"$1\" = -lc ] && [ \"$2\" = 'command -v claude' ] || exit 3\n" +
                                   body.replace(u'~', TestHome::path()).toUtf8() + '\n');
        return found();
    });
    options.loginShell = TestHome::path() + u"/shells/missing"_s;
    EXPECT_EQ(found(), u"-"_s);
}

} // namespace
