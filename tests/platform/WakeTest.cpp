// A resume from sleep, as logind announces it on the system bus, starts one reading.

#include "platform/LogindWake.h"
#include "store/UsageStore.h"
#include "support/StoreFixture.h"
#include "support/TestTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

void pump(
    int ms, const std::function<bool()>& until = [] { return false; }) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !until())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class Wake : public StoreFixture {};

TEST_F(Wake, AResumeStartsExactlyOneReading) {
    if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty())
        GTEST_SKIP() << "no dbus-daemon";
    // A private bus that this process takes for its system bus.
    QProcess daemon;
    daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    ASSERT_TRUE(daemon.waitForReadyRead(10000));
    const QByteArray address = daemon.readLine().trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);

    QProcess logind;
    logind.start(QStringLiteral(BRIMWATCH_FAKE_LOGIND), QStringList{});
    ASSERT_TRUE(logind.waitForReadyRead(10000));
    ASSERT_EQ(logind.readLine().trimmed(), "ready");

    LogindWake wake;
    ASSERT_TRUE(wake.isWatching());
    UsageStore::Deps withWake = deps();
    withWake.wake = &wake;
    store = std::make_unique<UsageStore>(withWake);
    store->start();
    ASSERT_EQ(tool.started, 1);
    tool.answer(u"Current session: 5% used"_s);

    logind.write("sleep\n");
    pump(300);
    EXPECT_EQ(tool.started, 1) << "going to sleep is not a wake";

    logind.write("wake\n");
    pump(5000, [&] { return tool.started > 1; });
    pump(300);
    EXPECT_EQ(tool.started, 2);

    logind.closeWriteChannel();
    logind.waitForFinished(5000);
    daemon.terminate();
    daemon.waitForFinished(5000);
}

} // namespace
