// Two accounts on one desktop: one fake tool that answers by the config folder it is given,
// read in turn, shown side by side, and changed from the command line while the app runs.

#include "app/Desktop.h"
#include "store/HistoryDb.h"
#include "support/QtPrinters.h"
#include "support/TestNotifications.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace Qt::StringLiterals;
using namespace e2e;

namespace {

TEST_F(Desktop, TwoAccounts) {
    const QString work = TestHome::path() + u"/work"_s;
    TestHome::write(u"work/.credentials.json"_s, "{}");
    TestHome::write(u".config/Brimwatch/Brimwatch.conf"_s,
                    "[Accounts]\nsize=2\n1\\name=Claude\n1\\configDir=\n2\\name=Work\n"
                    "2\\configDir=" +
                        work.toUtf8() + "\n");
    // Each run is written down as it starts and ends: two runs at once would interleave.
    claude("echo \"start $CLAUDE_CONFIG_DIR\" >> \"$HOME/turns.log\"\nsleep 0.3\n"
           "if [ -n \"$CLAUDE_CONFIG_DIR\" ]; then echo 'Current session: 82% used'\n"
           "else echo 'Current session: 12% used'; fi\n"
           "echo \"end $CLAUDE_CONFIG_DIR\" >> \"$HOME/turns.log\"\n");
    // A history from before several accounts.
    const QString history = TestHome::path() + u"/.local/share/Brimwatch/history.sqlite"_s;
    QDir().mkpath(QFileInfo(history).path());
    {
        QSqlDatabase old = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"old"_s);
        old.setDatabaseName(history);
        ASSERT_TRUE(old.open());
        QSqlQuery q(old);
        ASSERT_TRUE(q.exec(u"CREATE TABLE readings (at INTEGER NOT NULL, title TEXT NOT NULL, "
                           "label TEXT NOT NULL, percent REAL NOT NULL, resets_at INTEGER, "
                           "reset_text TEXT)"_s));
        ASSERT_TRUE(q.exec(u"INSERT INTO readings VALUES (%1, 'Session', 'Current session', 40, "
                           "NULL, NULL)"_s.arg(QDateTime::currentMSecsSinceEpoch() - 3600000)));
        ASSERT_TRUE(q.exec(u"PRAGMA user_version = 1"_s));
        q.finish();
        old.close();
    }
    QSqlDatabase::removeDatabase(u"old"_s);

    TestNotifications notifications;
    ASSERT_TRUE(notifications.publish(*panel));
    watcher->publish(*panel);
    auto app = launch();
    ASSERT_TRUE(waitUntil(15000, [] { return watcher->registrations == 1; }));
    const QString service = watcher->items().value(0);
    const auto tip = [&] { return toolTip(service); };
    ASSERT_TRUE(waitUntil(15000, [&] {
        return tip() == u"Claude · Session: 12% used\nWork · Session: 82% used"_s;
    })) << tip();
    // The ring shows the highest session; the notice names its account, whose marks are its own.
    EXPECT_TRUE(itemProperties(service).value(u"XAyatanaLabel"_s).toString().startsWith(u" 82%"_s));
    ASSERT_TRUE(waitUntil(2000, [&] { return !notifications.calls.isEmpty(); }));
    EXPECT_EQ(notifications.calls.join(u'\n').section(u" | "_s, 2, 2), u"Work: session at 82%"_s);
    QSettings conf(TestHome::path() + u"/.config/Brimwatch/Brimwatch.conf"_s, QSettings::IniFormat);
    conf.beginGroup(u"Alerts"_s);
    EXPECT_EQ(conf.childGroups().size(), 1) << "Work's marks apart from the default account's";
    const QString turns = TestHome::read(TestHome::path() + u"/turns.log"_s);
    EXPECT_EQ(turns, u"start \nend \nstart %1\nend %1\n"_s.arg(work)) << "one run at a time";
    const QString usage = TestHome::path() + u"/.local/share/Brimwatch/usage.json"_s;
    const auto file = [&] {
        return QJsonDocument::fromJson(TestHome::read(usage).toUtf8()).object();
    };
    EXPECT_EQ(file()[u"limits"_s][0][u"percent"_s].toDouble(), 82);
    const QJsonArray accounts = file()[u"accounts"_s].toArray();
    ASSERT_EQ(accounts.size(), 2);
    EXPECT_EQ(accounts[0][u"name"_s].toString(), u"Claude"_s);
    EXPECT_EQ(accounts[0][u"limits"_s][0][u"percent"_s].toDouble(), 12);
    EXPECT_EQ(accounts[1][u"configDir"_s].toString(), work);

    // Claude Code's status line, run with the work folder, reports for Work alone.
    QProcessEnvironment env = session();
    env.insert(u"CLAUDE_CONFIG_DIR"_s, work + u'/');
    QProcess line;
    line.setProcessEnvironment(env);
    line.start(QStringLiteral(BRIMWATCH_EXE), {u"--statusline"_s});
    line.write(u"{\"rate_limits\":{\"five_hour\":{\"used_percentage\":70,\"resets_at\":%1}}}"_s
                   .arg(QDateTime::currentSecsSinceEpoch() + 3600)
                   .toUtf8());
    line.closeWriteChannel();
    ASSERT_TRUE(line.waitForFinished(5000));
    EXPECT_TRUE(waitUntil(1000, [&] { return tip().contains(u"Work · Session: 70% used"_s); }))
        << tip();

    // Removed from the command line: the running app has one account within a second.
    std::unique_ptr<QProcess> remove(
        start(QStringLiteral(BRIMWATCH_EXE), {u"--remove-account"_s, u"Work"_s}));
    ASSERT_TRUE(remove->waitForFinished(5000));
    EXPECT_EQ(remove->exitCode(), 0) << remove->readAllStandardError().toStdString();
    EXPECT_TRUE(waitUntil(1000, [&] {
        return tip() == u"Session: 12% used"_s && file()[u"accounts"_s].toArray().size() == 1;
    })) << tip();
    EXPECT_EQ(itemProperties(service).value(u"IconAccessibleDesc"_s).toString(),
              u"Claude usage: session 12%"_s)
        << "one account: not named";

    // The old rows are the default account's; the new ones know theirs.
    QStringList rows;
    for (const Sample& s : HistoryDb(history, true).since(Instant()))
        rows << u"%1 %2"_s.arg(s.percent).arg(s.account.isEmpty() ? u"default"_s : u"work"_s);
    EXPECT_EQ(rows.value(0), u"40 default"_s);
    EXPECT_TRUE(rows.contains(u"82 work"_s) && rows.contains(u"12 default"_s))
        << rows.join(u", "_s);
    menu(service, 4);
    EXPECT_TRUE(app->waitForFinished(10000));
    panel->unregisterService(u"org.freedesktop.Notifications"_s);
    panel->unregisterObject(u"/org/freedesktop/Notifications"_s);
}

} // namespace
