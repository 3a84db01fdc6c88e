#pragma once

#include "Urgency.h"

#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>

#include <functional>

// Desktop notifications through org.freedesktop.Notifications on the session bus. Calls
// never block; without a notification service the app goes on, and says so once. Every
// bubble carries the app's icon and launcher entry, so the desktop shows whose it is. A bubble
// is known while it shows, and for a while after it closes: Plasma on Wayland tells of a click
// in its history after it has told that the bubble closed.
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
    // Takes a bubble off the screen; closeAll takes all of ours.
    void close(uint id);
    void closeAll();

signals:
    void activated();
    // A bubble of ours is off the screen (expired, dismissed, or closed): a new notice must be
    // a new bubble, since servers show a replacement of a closed one only in their history.
    void closed(uint id);

private slots:
    void actionInvoked(uint id, const QString& action);
    void serverClosed(uint id, uint reason);

private:
    void forget(uint id);

    QDBusConnection bus_;
    QSet<uint> ours_;                                     // bubbles we sent that still show
    QList<std::pair<uint, QDeadlineTimer>> closedLately_; // at most kRemembered, newest last
};
