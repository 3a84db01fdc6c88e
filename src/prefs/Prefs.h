#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The user's switches. desktopWidget, onTop and notifyNearLimits live in the settings file;
// openAtLogin is
// whether the autostart entry exists, read at construction and again after each change.
// Every assignment emits its signal and changed(), even when the value is the same.
class Prefs : public QObject {
    Q_OBJECT
public:
    explicit Prefs(QObject* parent = nullptr);

    bool desktopWidget() const { return desktopWidget_; }
    bool onTop() const { return onTop_; }
    bool openAtLogin() const { return openAtLogin_; }
    bool notifyNearLimits() const { return notifyNearLimits_; }

    // Store, persist, notify, then onChange.
    void setDesktopWidget(bool on);
    void setOnTop(bool on);
    void setNotifyNearLimits(bool on);
    // Write or remove the autostart entry, then show what is there and notify; never onChange.
    void setOpenAtLogin(bool on);

    // What stops the switches from being kept, one sentence a line; empty when nothing does.
    QString problems() const;

    // Called after a stored switch is assigned, for the application shell.
    std::function<void()> onChange;

signals:
    void changed();
    void desktopWidgetChanged();
    void onTopChanged();
    void openAtLoginChanged();
    void notifyNearLimitsChanged();

private:
    // Store, notify, persist under key, then onChange.
    void setStored(bool& field, bool on, const QString& key, void (Prefs::*signal)());

    bool desktopWidget_;
    bool onTop_;
    bool openAtLogin_;
    bool notifyNearLimits_;
    std::optional<QString> loginProblem_;
};
