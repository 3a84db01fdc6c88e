#pragma once

#include "Urgency.h"

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QSet>

#include <functional>

// Desktop notifications through org.freedesktop.Notifications on the session bus. Calls
// never block; without a notification service the app goes on, and says so once. Every
// bubble carries the app's icon and launcher entry, so the desktop shows whose it is.
class Notifications : public QObject {
    Q_OBJECT
public:
    using Urgency = ::Urgency;

    struct Bubble {
        QString summary; // short enough not to be cut: details go in the body
        QString body;
        Urgency urgency = Urgency::Normal;
        uint replaces = 0; // the bubble this one takes the place of, if any
        QImage image;      // shown in the bubble, if any
    };

    explicit Notifications(const QDBusConnection& bus, QObject* parent = nullptr);

    // Shows a bubble whose default action (a click on it) emits activated(). shown(id)
    // follows with the bubble's number, or 0 when it could not be shown.
    void notify(const Bubble& bubble, std::function<void(uint id)> shown = {});
    // Takes a bubble off the screen.
    void close(uint id);

signals:
    void activated();

private slots:
    void actionInvoked(uint id, const QString& action);
    void closed(uint id, uint reason);

private:
    QDBusConnection bus_;
    QSet<uint> ours_; // notifications we sent that are still open
};
