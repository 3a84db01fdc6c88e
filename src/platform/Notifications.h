#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QSet>

// Desktop notifications through org.freedesktop.Notifications on the session bus. Calls
// never block; without a notification service the app goes on, and says so once.
class Notifications : public QObject {
    Q_OBJECT
public:
    enum class Urgency { Low = 0, Normal = 1, Critical = 2 };

    explicit Notifications(const QDBusConnection& bus, QObject* parent = nullptr);

    // Shows a notification whose default action (a click on it) emits activated().
    void notify(const QString& summary, const QString& body, Urgency urgency);

signals:
    void activated();

private slots:
    void actionInvoked(uint id, const QString& action);
    void closed(uint id, uint reason);

private:
    QDBusConnection bus_;
    QSet<uint> ours_; // notifications we sent that are still open
};
