#pragma once

#include <QObject>

#include <functional>

// The user's three switches. desktopWidget and onTop live in the settings file;
// openAtLogin mirrors the autostart entry, read once at construction. Every assignment
// emits its signal and changed(), even when the value is the same.
class Prefs : public QObject {
    Q_OBJECT
public:
    explicit Prefs(QObject* parent = nullptr);

    bool desktopWidget() const { return desktopWidget_; }
    bool onTop() const { return onTop_; }
    bool openAtLogin() const { return openAtLogin_; }

    // Store, persist, notify, then onChange.
    void setDesktopWidget(bool on);
    void setOnTop(bool on);
    // Store, notify, then write or remove the autostart entry; never onChange.
    void setOpenAtLogin(bool on);

    // Called after desktopWidget or onTop is assigned, for the application shell.
    std::function<void()> onChange;

signals:
    void changed();
    void desktopWidgetChanged();
    void onTopChanged();
    void openAtLoginChanged();

private:
    // Store, notify, persist under key, then onChange.
    void setStored(bool& field, bool on, const QString& key, void (Prefs::*signal)());

    bool desktopWidget_;
    bool onTop_;
    bool openAtLogin_;
};
