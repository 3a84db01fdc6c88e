#pragma once

#include <QObject>
#include <QSocketNotifier>

// SIGTERM, SIGINT and SIGHUP, turned into a signal on the main thread, so that the app ends
// the way "Quit" ends it. The handler only writes a byte to a pipe that the loop watches.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    void received(int signal);

private:
    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
};
