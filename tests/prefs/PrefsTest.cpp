// The switches, the settings file behind them, and the autostart entry, as real files in a
// temporary home.

#include "prefs/Prefs.h"
#include "prefs/LoginItem.h"
#include "prefs/Settings.h"
#include "support/StoredSettings.h"
#include "support/Table.h"
#include "support/TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestHome::clear();
        Settings::reset();
    }
};

TEST_F(PrefsTest, DefaultsWithNothingStoredAndNothingWritten) {
    Prefs prefs;
    EXPECT_TRUE(prefs.desktopWidget());
    EXPECT_FALSE(prefs.onTop());
    EXPECT_FALSE(prefs.openAtLogin());
    EXPECT_TRUE(prefs.notifyNearLimits());
    EXPECT_FALSE(QFile::exists(Settings::path()));
    // Anything at the entry's path counts, a dangling link included.
    QDir().mkpath(QFileInfo(LoginItem::path()).path());
    QFile::link(u"/nonexistent/target"_s, LoginItem::path());
    EXPECT_TRUE(Prefs().openAtLogin());
}

// Every assignment writes, notifies and calls back, even with the value it had; the values
// are there at the next launch.
TEST_F(PrefsTest, SwitchesAreStoredEveryTime) {
    Prefs prefs;
    int calls = 0;
    prefs.onChange = [&] { ++calls; };
    QSignalSpy onTop(&prefs, &Prefs::onTopChanged);
    prefs.setOnTop(false);
    EXPECT_EQ(storedSettings().value(u"onTop"_s).toString(), u"false"_s);
    prefs.setOnTop(true);
    prefs.setDesktopWidget(false);
    prefs.setNotifyNearLimits(false);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(onTop.count(), 2);
    Settings::reset(); // a new launch
    EXPECT_FALSE(Prefs().desktopWidget());
    EXPECT_TRUE(Prefs().onTop());
    EXPECT_FALSE(Prefs().notifyNearLimits());
}

TEST_F(PrefsTest, OpenAtLoginWritesTheEntryEveryTimeAndNeverCallsBack) {
    Prefs prefs;
    prefs.onChange = [] { ADD_FAILURE() << "called back"; };
    prefs.setOpenAtLogin(true);
    QFile::remove(LoginItem::path());
    prefs.setOpenAtLogin(true); // unchanged, written again
    EXPECT_TRUE(prefs.openAtLogin());
    EXPECT_EQ(TestHome::read(LoginItem::path()),
              u"[Desktop Entry]\nType=Application\nName=Brimwatch\n"
              "Comment=Claude Code plan usage in the system tray\nExec=\"%1\"\nIcon=brimwatch\n"
              "Terminal=false\nX-GNOME-Autostart-enabled=true\n"
              "X-Brimwatch-Label=com.velkorlab.brimwatch\n"
              "X-Brimwatch-Application=com.velkorlab.brimwatch\n"_s.arg(
                  QCoreApplication::applicationFilePath()));
    prefs.setOpenAtLogin(false);
    EXPECT_FALSE(prefs.openAtLogin());
    EXPECT_TRUE(QDir(QFileInfo(LoginItem::path()).path()).isEmpty());
    EXPECT_FALSE(QFile::exists(Settings::path()));
}

// Settings that cannot be saved or read lose nothing for the session, say why, and leave
// the thing in their place alone; nothing blocks on a FIFO or a device.
TEST_F(PrefsTest, SettingsThatCannotBeSaved) {
    const QByteArray big = "[General]\ndesktopWidget=false\n" + QByteArray(1 << 20, '#') + "\n";
    const QString fifo = TestHome::path() + u"/fifo"_s;
    const auto link = [](const QString& to) {
        QDir().mkpath(QFileInfo(Settings::path()).path());
        QFile::link(to, Settings::path());
    };
    const struct {
        const char* name;
        std::function<void()> spoil;
        QString problem;
    } cases[] = {
        {"a folder in its place", [] { QDir().mkpath(Settings::path()); },
         u"saved: "_s + Settings::path() + u" is a folder"_s},
        {"over 1 MB", [&] { TestHome::write(u".config/Brimwatch/Brimwatch.conf"_s, big); },
         u"read: "_s + Settings::path() + u" is over 1 MB, so Brimwatch leaves it alone"_s},
        {"a FIFO",
         [&] {
             link(fifo), QFile::remove(Settings::path()),
                 QFile::rename(fifo + u"2"_s, Settings::path());
         },
         u"read: "_s + Settings::path() + u" is not a regular file"_s},
        {"a link to a device", [&] { link(u"/dev/null"_s); },
         u"read: "_s + Settings::path() + u" leads to /dev/null, which is not a regular file"_s},
        {"a link to a FIFO", [&] { link(fifo); },
         u"read: "_s + Settings::path() + u" leads to "_s + fifo +
             u", which is not a regular file"_s},
    };
    for (const auto& c : cases) {
        TestHome::clear();
        Settings::reset();
        ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
        ::mkfifo(QFile::encodeName(fifo + u"2"_s).constData(), 0600);
        c.spoil();
        Prefs prefs;
        EXPECT_TRUE(prefs.desktopWidget()) << c.name << ": not read";
        prefs.setDesktopWidget(false);
        EXPECT_FALSE(Prefs().desktopWidget()) << c.name << ": kept for the session";
        EXPECT_EQ(prefs.problems(), u"Settings can't be "_s + c.problem) << c.name;
        EXPECT_EQ(QFileInfo(fifo).isFile(), false) << c.name;
    }
    EXPECT_EQ(QFileInfo(u"/dev/null"_s).isFile(), false);
}

// A link to a regular file (a dotfile manager's) is written through: the target keeps its
// inode and mode, and the link stays a link.
TEST_F(PrefsTest, SettingsThroughALinkStayTheTargets) {
    const QString target = TestHome::write(u"dotfiles/Brimwatch.conf"_s, "[General]\nonTop=true\n");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    QDir().mkpath(QFileInfo(Settings::path()).path());
    QFile::link(target, Settings::path());
    struct stat before {};
    ::stat(QFile::encodeName(target).constData(), &before);
    Prefs prefs;
    EXPECT_TRUE(prefs.onTop());
    prefs.setDesktopWidget(false);
    struct stat after {};
    ::stat(QFile::encodeName(target).constData(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_TRUE(QFileInfo(Settings::path()).isSymLink());
    EXPECT_TRUE(TestHome::read(target).contains(u"desktopWidget=false"_s));
    EXPECT_EQ(prefs.problems(), QString());
}

TEST_F(PrefsTest, OpenAtLoginShowsWhatIsThere) {
    const QString folder = TestHome::write(u".config/autostart"_s, "a file");
    Prefs prefs;
    QSignalSpy spy(&prefs, &Prefs::openAtLoginChanged);
    prefs.setOpenAtLogin(true);
    EXPECT_FALSE(prefs.openAtLogin());
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(prefs.problems(),
              u"Open at login can't be changed: "_s + folder + u": it is a file, not a folder"_s);
}

// The running executable's path in, the Exec value as written in the file out: quoted, with
// '"', '`', '$' and '\' escaped inside the quotes, '%' doubled, then every '\' doubled.
TEST_F(PrefsTest, ExecQuotesAwkwardPaths) {
    const Row rows[] = {
        {"/plain/brimwatch", "\"/plain/brimwatch\""},
        {"/opt/Brim Watch/brimwatch", "\"/opt/Brim Watch/brimwatch\""},
        {"/home/o'neil/\"q\"/brimwatch", "\"/home/o'neil/\\\\\"q\\\\\"/brimwatch\""},
        {"/tmp/100%/$HOME/`x`/back\\slash",
         "\"/tmp/100%%/\\\\$HOME/\\\\`x\\\\`/back\\\\\\\\slash\""},
        {"/tab\there", "\"/tab\\there\""},
    };
    checkTable(rows, LoginItem::execArgument);
}

TEST_F(PrefsTest, EntriesValidate) {
    const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    const QString awkward =
        TestHome::write(u"awkward.desktop"_s,
                        LoginItem::entryText(u"/tmp/Brim Watch/100%/$x/brimwatch"_s).toUtf8());
    for (const QString& file : {awkward, QStringLiteral(BRIMWATCH_DATA "/brimwatch.desktop")}) {
        QProcess p;
        p.start(validator, {file});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0) << file;
        EXPECT_EQ(p.readAll(), QByteArray()) << file; // no warnings either
    }
}

} // namespace
