// The accounts in the settings file, and the changes made to them, on real files in a
// temporary home.

#include "prefs/AccountList.h"
#include "prefs/Settings.h"
#include "support/TestHome.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// "Name=folder" per account, ", " between them; "~" for the home folder.
QString show(const QList<Account>& accounts) {
    QStringList out;
    for (const Account& a : accounts)
        out << a.name + u'=' + QString(a.configDir).replace(TestHome::path(), u"~"_s);
    return out.join(u", "_s);
}

class Accounts : public ::testing::Test {
protected:
    void SetUp() override {
        TestHome::clear();
        Settings::reset();
        TestHome::write(u"work/.credentials.json"_s, "{}");
        TestHome::write(u"client/settings.json"_s, "{}");
        TestHome::write(u".claude/.credentials.json"_s, "{}");
        QDir(TestHome::path()).mkpath(u"empty"_s);
        QDir::setCurrent(TestHome::path());
    }
    static QString home(const QString& s) { return QString(s).replace(u'~', TestHome::path()); }
};

TEST_F(Accounts, AsStored) {
    const struct {
        const char* name;
        QByteArray file;
        QString accounts, problems;
    } rows[] = {
        {"no group: the default account", "[General]\nonTop=true\n", u"Claude="_s, {}},
        {"one account", "[Accounts]\nsize=1\n1\\name=Mine\n1\\configDir=\n", u"Mine="_s, {}},
        {"three accounts",
         "[Accounts]\nsize=3\n1\\name=Claude\n2\\name=Work\n2\\configDir=/w\n"
         "3\\name=Client\n3\\configDir=/c\n",
         u"Claude=, Work=/w, Client=/c"_s,
         {}},
        {"broken entries",
         "[Accounts]\nsize=5\n1\\name=Work\n1\\configDir=/w\n2\\name=\n2\\configDir=/x\n"
         "3\\name=Work\n3\\configDir=/y\n4\\name=Other\n4\\configDir=/w/\n5\\name= Home \n",
         u"Work=/w, Home="_s,
         u"Account 2 in the settings has no name: it is left out.\n"
         "Account 3 in the settings has the name Work again: it is left out.\n"
         "Account 4 in the settings has the folder of Work: it is left out."_s},
        {"nothing usable", "[Accounts]\nsize=1\n1\\configDir=/w\n", u"Claude="_s,
         u"Account 1 in the settings has no name: it is left out."_s},
        {"a size past the entries", "[Accounts]\nsize=1000000000\n1\\name=A\n", u"A="_s,
         u"Account 2 in the settings has no name: it is left out."_s},
    };
    for (const auto& r : rows) {
        Settings::reset();
        TestHome::write(u".config/Brimwatch/Brimwatch.conf"_s, r.file);
        const AccountList::Checked c = AccountList::load();
        EXPECT_EQ(show(c.accounts), r.accounts) << r.name;
        const qsizetype lines = r.problems.isEmpty() ? 0 : r.problems.count(u'\n') + 1;
        EXPECT_EQ(c.problems.mid(0, lines).join(u'\n'), r.problems) << r.name;
    }
}

TEST_F(Accounts, Changes) {
    const QList<Account> two{{u"Claude"_s, {}}, {u"Work"_s, home(u"~/work"_s)}};
    const struct {
        const char* name;
        AccountList::Change change;
        QString accounts, problem;
    } rows[] = {
        {"add",
         AccountList::added(two, u"Client"_s, home(u"~/client/"_s)),
         u"Claude=, Work=~/work, Client=~/client"_s,
         {}},
        {"add by ~",
         AccountList::added(two, u"Client"_s, u"~/client"_s),
         u"Claude=, Work=~/work, Client=~/client"_s,
         {}},
        {"add a relative folder",
         AccountList::added(two, u"Client"_s, u"client"_s),
         u"Claude=, Work=~/work, Client=~/client"_s,
         {}},
        {"add ~/.claude by its path",
         AccountList::added({}, u"Me"_s, home(u"~/.claude"_s)),
         u"Me="_s,
         {}},
        {"add one past the most read",
         AccountList::added(QList<Account>(200), u"Client"_s, home(u"~/client"_s)),
         {},
         u"Brimwatch reads at most 200 accounts: remove one first."_s},
        {"add a taken name",
         AccountList::added(two, u"Work"_s, home(u"~/client"_s)),
         {},
         u"There is already an account named Work."_s},
        {"add without a name",
         AccountList::added(two, u" "_s, home(u"~/client"_s)),
         {},
         u"An account needs a name."_s},
        {"add a name with a line break",
         AccountList::added(two, u"a\nb"_s, home(u"~/client"_s)),
         {},
         u"An account's name is at most 40 characters, without line breaks or spaces at its "
         "ends."_s},
        {"add a taken folder",
         AccountList::added(two, u"W2"_s, home(u"~/work/../work"_s)),
         {},
         u"~/work is already the folder of Work."_s},
        {"add a folder without a login",
         AccountList::added(two, u"E"_s, home(u"~/empty"_s)),
         {},
         u"~/empty holds no login of Claude Code (no .credentials.json or settings.json). Run "
         "CLAUDE_CONFIG_DIR=~/empty claude and log in first."_s},
        {"add a folder that is not there",
         AccountList::added(two, u"E"_s, home(u"~/gone"_s)),
         {},
         u"~/gone is not a folder."_s},
        {"remove", AccountList::removed(two, u"Claude"_s), u"Work=~/work"_s, {}},
        {"remove the last",
         AccountList::removed({{u"Work"_s, u"/w"_s}}, u"Work"_s),
         {},
         u"Work is the only account: Brimwatch needs one to read."_s},
        {"remove one not there",
         AccountList::removed(two, u"Home"_s),
         {},
         u"There is no account named Home."_s},
        {"rename", AccountList::renamed(two, u"Claude"_s, u"Home"_s), u"Home=, Work=~/work"_s, {}},
        {"rename to a taken name",
         AccountList::renamed(two, u"Claude"_s, u"Work"_s),
         {},
         u"There is already an account named Work."_s},
    };
    for (const auto& r : rows) {
        if (r.problem.isEmpty()) {
            EXPECT_EQ(show(r.change.accounts).replace(TestHome::path(), u"~"_s), r.accounts)
                << r.name;
        }
        EXPECT_EQ(QString(r.change.problem.value_or(QString())).replace(TestHome::path(), u"~"_s),
                  r.problem)
            << r.name;
    }
}

TEST_F(Accounts, SavedAndReadBackAndFoundByFolder) {
    const QList<Account> three{
        {u"Claude"_s, {}}, {u"Work"_s, home(u"~/work"_s)}, {u"Client"_s, home(u"~/client"_s)}};
    AccountList::save(three);
    AccountList::save(three.mid(1)); // fewer: the last entry's keys go
    Settings::reset();
    EXPECT_EQ(show(AccountList::load().accounts), u"Work=~/work, Client=~/client"_s);
    EXPECT_FALSE(Settings::contains(u"Accounts/3/name"_s));
    const struct {
        QString folder, account;
    } rows[] = {{u""_s, u"Claude"_s},           {u"~/.claude"_s, u"Claude"_s},
                {u"~/.claude/"_s, u"Claude"_s}, {u"~/work/"_s, u"Work"_s},
                {u"~/client"_s, u"Client"_s},   {u"~/elsewhere"_s, u"-"_s}};
    for (const auto& r : rows)
        EXPECT_EQ(AccountList::ofFolder(three, home(r.folder)).value_or(Account{u"-"_s, {}}).name,
                  r.account)
            << r.folder.toStdString();
}

} // namespace
