// A StatusNotifierWatcher on the session bus that prints, for each item that registers,
// the wall-clock time in milliseconds ("registered <ms>"). Used to time Brimwatch's start.

#include "support/TestWatcher.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TestWatcher watcher;
    if (!watcher.publish(QDBusConnection::sessionBus()))
        return 1;
    QObject::connect(&watcher, &TestWatcher::StatusNotifierItemRegistered, [] {
        std::printf("registered %lld\n", QDateTime::currentMSecsSinceEpoch());
        std::fflush(stdout);
    });
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
