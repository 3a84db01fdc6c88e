#pragma once

#include <QAbstractNativeEventFilter>
#include <QMap>
#include <QObject>
#include <QVariant>

#include <memory>

// The desktop's XSETTINGS (the theme name, among others), read from the settings manager's
// window and followed while it changes them.
class XSettings : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // None off X11, or where no settings manager runs.
    static std::unique_ptr<XSettings> create();
    ~XSettings() override;

    // A setting's value: an int, a string, or a colour; invalid when it is not set.
    QVariant value(const QString& name) const { return values_.value(name); }

    // The settings in the manager's own layout: the byte order, a serial, the number of
    // settings, then each with its type, name, serial and value, every part padded to 4 bytes.
    static QMap<QString, QVariant> parse(const QByteArray& data);

signals:
    void changed();

protected:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

private:
    XSettings() = default;
    void read();

    void* connection_ = nullptr;
    uint32_t owner_ = 0, property_ = 0;
    QMap<QString, QVariant> values_;
};
