// The accounts from the command line, and the text modes that read one of them: the real
// executable in a temporary home.

#include "store/HistoryDb.h"
#include "store/UsageFile.h"
#include "support/Brimwatch.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"

#include <QDir>
#include <QProcess>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QString home(QString s) {
    return s.replace(TestHome::path(), u"~"_s);
}

// "status | what it printed | what it said on standard error", the home as "~".
QString run(const QStringList& args) {
    const ProcessRun r = brimwatch(args);
    return home(u"%1 | %2 | %3"_s.arg(r.status).arg(r.out.trimmed(), r.err.trimmed()));
}

TEST(AccountsCommand, ListAddRemove) {
    TestHome::clear();
    TestHome::write(u"work/.credentials.json"_s, "{}");
    QDir(TestHome::path()).mkpath(u"empty"_s);
    const QString work = TestHome::path() + u"/work"_s;
    const struct {
        QStringList args;
        QString want;
    } steps[] = {
        {{u"--accounts"_s}, u"0 | Claude  ~/.claude (default) | "_s},
        {{u"--add-account"_s, u"Work"_s},
         u"2 |  | brimwatch: --add-account takes a name and a folder"_s},
        {{u"--add-account"_s, u"Work"_s, TestHome::path() + u"/empty"_s},
         u"1 |  | brimwatch: ~/empty holds no login of Claude Code (no .credentials.json or "
         "settings.json). Run CLAUDE_CONFIG_DIR=~/empty claude and log in first."_s},
        {{u"--add-account"_s, u"Work"_s, work + u'/'}, u"0 | Added Work: ~/work | "_s},
        {{u"--add-account"_s, u"Job"_s, work},
         u"1 |  | brimwatch: ~/work is already the folder of Work."_s},
        {{u"--accounts"_s}, u"0 | Claude  ~/.claude (default)\nWork    ~/work | "_s},
        {{u"--remove-account"_s, u"Claude"_s}, u"0 | Removed Claude. | "_s},
        {{u"--remove-account"_s, u"Work"_s},
         u"1 |  | brimwatch: Work is the only account: Brimwatch needs one to read."_s},
        {{u"--accounts"_s}, u"0 | Work  ~/work | "_s},
        // A folder with a line break in its name: one line per account all the same.
        {{u"--add-account"_s, u"Odd"_s, TestHome::path() + u"/new\nline"_s},
         u"0 | Added Odd: ~/new\\nline | "_s},
        {{u"--accounts"_s}, u"0 | Work  ~/work\nOdd   ~/new\\nline | "_s},
    };
    TestHome::write(u"new\nline/settings.json"_s, "{}");
    for (const auto& s : steps)
        EXPECT_EQ(run(s.args), s.want) << s.args.join(u' ').toStdString();
}

// Pairs of --add-account at the same moment each keep theirs, and say nothing but "Added".
TEST(AccountsCommand, AddedAtOnce) {
    TestHome::clear();
    for (int pair = 0; pair < 8; ++pair) {
        std::vector<std::unique_ptr<QProcess>> adding;
        for (int i = 0; i < 2; ++i) {
            const QString name = u"A%1"_s.arg(2 * pair + i);
            TestHome::write(name + u"/settings.json"_s, "{}");
            adding.push_back(std::make_unique<QProcess>());
            adding.back()->start(QStringLiteral(BRIMWATCH_EXE),
                                 {u"--add-account"_s, name, TestHome::path() + u'/' + name});
        }
        for (auto& p : adding) {
            ASSERT_TRUE(p->waitForFinished(10000));
            EXPECT_EQ(p->exitCode(), 0);
            EXPECT_EQ(p->readAllStandardError(), QByteArray()) << "no Qt warnings";
        }
    }
    EXPECT_EQ(brimwatch({u"--accounts"_s}).out.count(u'\n'), 17) << "the default and sixteen";
}

// --status, --waybar and --history give the tray's account, every account, or the one named.
TEST(AccountsCommand, TheModesThatReadOneAccount) {
    TestHome::clear();
    TestHome::write(u".config/Brimwatch/Brimwatch.conf"_s,
                    "[Accounts]\nsize=2\n1\\name=Claude\n1\\configDir=\n2\\name=Work\n"
                    "2\\configDir=/w\n");
    const Instant now = std::chrono::system_clock::now();
    const auto reading = [&](double percent) {
        return UsageFile::Snapshot{
            now,
            now,
            std::nullopt,
            {Limit{u"Current session"_s, u"Session"_s, percent, now + 3600.0, {}}}};
    };
    TestHome::write(u".local/share/Brimwatch/usage.json"_s,
                    UsageFile::encode(reading(82), {{u"Claude"_s, {}, reading(20)},
                                                    {u"Work"_s, u"/w"_s, reading(82)}}));
    EXPECT_TRUE(run({u"--status"_s}).startsWith(u"0 | Session | 82.0%"_s));
    EXPECT_TRUE(
        run({u"--status"_s, u"--account"_s, u"Claude"_s}).startsWith(u"0 | Session | 20.0%"_s));
    EXPECT_EQ(run({u"--status"_s, u"--account"_s, u"Home"_s}).section(u": "_s, 2),
              u"it holds no account named Home (it holds Claude, Work)"_s);
    EXPECT_TRUE(run({u"--waybar"_s, u"--account"_s, u"Claude"_s}).contains(u"\"percentage\":20"_s));

    {
        HistoryDb db(TestHome::path() + u"/.local/share/Brimwatch/history.sqlite"_s);
        db.append(now - 60.0, reading(20).limits);
        db.append(now - 60.0, reading(82).limits, u"/w"_s);
    }
    const QStringList all = run({u"--history"_s}).split(u'\n');
    ASSERT_EQ(all.size(), 3);
    EXPECT_TRUE(all[0].startsWith(u"0 | Account  Read at"_s)) << all[0];
    EXPECT_TRUE(all[2].startsWith(u"Work     "_s)) << all[2];
    EXPECT_TRUE(run({u"--history"_s, u"--csv"_s}).contains(u"reset_text,account\n"_s));
    const QStringList work = run({u"--history"_s, u"--account"_s, u"Work"_s}).split(u'\n');
    ASSERT_EQ(work.size(), 2);
    EXPECT_TRUE(work[1].contains(u"82.0%"_s)) << work[1];
    EXPECT_EQ(run({u"--history"_s, u"--account"_s, u"Home"_s}),
              u"2 |  | brimwatch: there is no account named Home (there are Claude, Work)"_s);
}

} // namespace
