#include "prefs/Prefs.h"
#include "prefs/LoginItem.h"
#include "prefs/Settings.h"
#include "support/DesktopEntry.h"
#include "support/QtPrinters.h"
#include "support/StoredSettings.h"
#include "support/TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kSettingsFile = u"/.config/Brimwatch/Brimwatch.conf"_s;

class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestHome::clear();
        Settings::reset();
    }
    bool settingsFileExists() { return QFile::exists(TestHome::path() + kSettingsFile); }
};

TEST_F(PrefsTest, DefaultsWithNothingStoredAndNothingWritten) {
    Prefs prefs;
    EXPECT_TRUE(prefs.desktopWidget());
    EXPECT_FALSE(prefs.onTop());
    EXPECT_FALSE(prefs.openAtLogin());
    EXPECT_FALSE(settingsFileExists());
    EXPECT_FALSE(QFile::exists(LoginItem::path()));

    TestHome::write(u".config/autostart/com.velkorlab.brimwatch.desktop"_s, "");
    EXPECT_TRUE(Prefs().openAtLogin());
}

TEST_F(PrefsTest, StoredValuesSurviveANewPrefs) {
    {
        Prefs prefs;
        prefs.setDesktopWidget(false);
        prefs.setOnTop(true);
    }
    Settings::reset(); // a new launch
    Prefs again;
    EXPECT_FALSE(again.desktopWidget());
    EXPECT_TRUE(again.onTop());
}

TEST_F(PrefsTest, TheSameValueStillWritesNotifiesAndCallsBack) {
    Prefs prefs;
    int calls = 0;
    prefs.onChange = [&] { ++calls; };
    QSignalSpy onTop(&prefs, &Prefs::onTopChanged);
    prefs.setOnTop(false);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(onTop.count(), 1);
    EXPECT_EQ(storedSettings().value(u"onTop"_s).toString(), u"false"_s);
    prefs.setDesktopWidget(true);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(storedSettings().value(u"desktopWidget"_s).toString(), u"true"_s);
}

TEST_F(PrefsTest, OpenAtLoginWritesTheEntryEveryTimeAndNeverCallsBack) {
    Prefs prefs;
    int calls = 0;
    prefs.onChange = [&] { ++calls; };
    prefs.setOpenAtLogin(true);
    EXPECT_TRUE(QFile::exists(LoginItem::path()));
    QFile::remove(LoginItem::path());
    prefs.setOpenAtLogin(true); // unchanged, written again
    EXPECT_TRUE(QFile::exists(LoginItem::path()));
    prefs.setOpenAtLogin(false);
    EXPECT_FALSE(QFile::exists(LoginItem::path()));
    EXPECT_FALSE(prefs.openAtLogin());
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(settingsFileExists());
}

// Settings that cannot be saved lose nothing for the session, and say why.
TEST_F(PrefsTest, SettingsThatCannotBeSaved) {
    const QByteArray big = "[General]\ndesktopWidget=false\n" + QByteArray(1 << 20, '#') + "\n";
    const struct {
        const char* name;
        std::function<void()> spoil;
        QString reason;
    } cases[] = {
        {"a folder in its place", [] { QDir().mkpath(Settings::path()); },
         Settings::path() + u" is a folder"_s},
        {"over 1 MB", [&] { TestHome::write(kSettingsFile.mid(1), big); },
         Settings::path() + u" is over 1 MB, so Brimwatch leaves it alone"_s},
    };
    for (const auto& c : cases) {
        TestHome::clear();
        Settings::reset();
        c.spoil();
        Prefs prefs;
        EXPECT_TRUE(prefs.desktopWidget()) << c.name << ": not read";
        prefs.setDesktopWidget(false);
        EXPECT_FALSE(Prefs().desktopWidget()) << c.name << ": kept for the session";
        EXPECT_EQ(prefs.problems(), u"Settings can't be saved: "_s + c.reason) << c.name;
    }
    EXPECT_EQ(QFileInfo(Settings::path()).size(), big.size()) << "left alone";
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

TEST_F(PrefsTest, LoginItemOnAFreshAccount) {
    const QString autostart = TestHome::path() + u"/.config/autostart"_s;
    ASSERT_FALSE(QDir(autostart).exists());
    EXPECT_FALSE(LoginItem::isEnabled());
    LoginItem::set(false); // nothing there: nothing happens
    EXPECT_FALSE(QDir(autostart).exists());

    LoginItem::set(true);
    EXPECT_TRUE(LoginItem::isEnabled());
    EXPECT_EQ(LoginItem::path(), autostart + u"/com.velkorlab.brimwatch.desktop"_s);
    const auto keys = DesktopEntry::read(LoginItem::path());
    EXPECT_EQ(keys.keys(), (QStringList{u"Comment"_s, u"Exec"_s, u"Icon"_s, u"Name"_s,
                                        u"Terminal"_s, u"Type"_s, u"X-Brimwatch-Application"_s,
                                        u"X-Brimwatch-Label"_s, u"X-GNOME-Autostart-enabled"_s}));
    EXPECT_EQ(keys[u"Type"_s], u"Application"_s);
    EXPECT_EQ(keys[u"X-GNOME-Autostart-enabled"_s], u"true"_s);
    EXPECT_EQ(keys[u"X-Brimwatch-Label"_s], u"com.velkorlab.brimwatch"_s);
    EXPECT_EQ(keys[u"X-Brimwatch-Application"_s], u"com.velkorlab.brimwatch"_s);
    EXPECT_EQ(DesktopEntry::execArguments(keys[u"Exec"_s]),
              QStringList{QCoreApplication::applicationFilePath()});

    LoginItem::set(false);
    EXPECT_FALSE(LoginItem::isEnabled());
    EXPECT_TRUE(QDir(autostart).isEmpty());
}

TEST_F(PrefsTest, AnythingAtThePathCountsAsEnabled) {
    TestHome::write(u".config/autostart/com.velkorlab.brimwatch.desktop"_s, "");
    EXPECT_TRUE(LoginItem::isEnabled());
    QFile::remove(LoginItem::path());
    QFile::link(u"/nonexistent/target"_s, LoginItem::path());
    EXPECT_TRUE(LoginItem::isEnabled());
}

TEST_F(PrefsTest, ExecRoundTripsAwkwardPaths) {
    for (const QString& exe :
         {u"/opt/Brim Watch/brimwatch"_s, u"/home/o'neil/\"quoted\"/bin/brimwatch"_s,
          u"/tmp/100%/$HOME/`x`/back\\slash/brimwatch"_s, u"/plain/brimwatch"_s}) {
        const QString file =
            TestHome::write(u"entry.desktop"_s, LoginItem::entryText(exe).toUtf8());
        EXPECT_EQ(DesktopEntry::execArguments(DesktopEntry::read(file)[u"Exec"_s]),
                  QStringList{exe});
    }
}

TEST_F(PrefsTest, EntriesValidate) {
    const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed";
    LoginItem::set(true);
    const QString awkward =
        TestHome::write(u"awkward.desktop"_s,
                        LoginItem::entryText(u"/tmp/Brim Watch/100%/$x/brimwatch"_s).toUtf8());
    for (const QString& file :
         {LoginItem::path(), awkward, QStringLiteral(BRIMWATCH_DATA "/brimwatch.desktop")}) {
        QProcess p;
        p.start(validator, {file});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0) << file << "\n" << p.readAll().toStdString();
        EXPECT_TRUE(p.readAll().isEmpty()) << file; // no warnings either
    }
}

} // namespace
