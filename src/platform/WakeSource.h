#pragma once

#include <QObject>

// Tells when the computer has woken from sleep. The desktop glue provides the real one.
class WakeSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void woke();
};
