#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A notification service for tests: it records each Notify call as one line,
// "app | icon | summary | body | urgency | actions | replaces | entry | image", each
// CloseNotification as "close N", and can say a notice was clicked.
class TestNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    bool publish(QDBusConnection bus) {
        return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                  QDBusConnection::ExportAllSlots |
                                      QDBusConnection::ExportAllSignals) &&
               bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }

    QStringList calls;
    uint bubbles = 0; // bubbles made; one that replaces another keeps its number

    // A click on the notice with this number (1 is the first).
    void click(uint id) { emit ActionInvoked(id, QStringLiteral("default")); }

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int) {
        calls << QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9")
                     .arg(app, icon, summary, body, urgency(hints.value(QStringLiteral("urgency"))),
                          actions.join(u','), QString::number(replaces),
                          hints.value(QStringLiteral("desktop-entry")).toString(),
                          hints.contains(QStringLiteral("image-data")) ? QStringLiteral("image")
                                                                       : QStringLiteral("-"));
        return replaces ? replaces : ++bubbles;
    }
    void CloseNotification(uint id) { calls << QStringLiteral("close %1").arg(id); }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }

private:
    // A byte, as the notification specification has it: daemons ignore an int.
    static QString urgency(const QVariant& v) {
        return v.metaType().id() == QMetaType::UChar ? QString::number(v.toInt())
                                                     : QStringLiteral("not a byte");
    }

signals:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);
};
