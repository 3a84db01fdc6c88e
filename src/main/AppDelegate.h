#pragma once

#include <QObject>
#include <QTimer>

#include <memory>

class DesktopWidget;
class Notifications;
class PanelWindow;
class Prefs;
class SingleInstance;
class TrayItem;
class UsageStore;
class WakeSource;

// The running application: one store, one set of preferences, the tray item with its
// panel, and the desktop card, kept in step with each other.
class AppDelegate : public QObject {
public:
    AppDelegate();
    ~AppDelegate() override;

    // The launch sequence. False when another copy already runs (nothing was created).
    bool launch();

    UsageStore* store() const { return store_; }
    Prefs* prefs() const { return prefs_; }

    // "menu bar item: visible=true frame={{x, y}, {w, h}}"
    static QString menubarLine(bool visible, const QRect& frame);

    // Open at login is on from the very first launch, once the settings have kept the mark
    // of it; later launches leave it alone. True when this was the first run.
    static bool firstRun(Prefs& prefs);

    // Whether the ring shows the percentage: the settings' "numberInIcon" when set, else
    // where the tray draws no label beside it.
    static bool numberInIcon(bool trayDrawsLabel);

private:
    void render();
    void applyPrefs();
    void togglePanel(QPoint at);
    void showPanel(QPoint at);
    void writeMenubarFile();
    // No tray to be found for a while: the card stands in for it, for this run only.
    void trayChanged();
    void noTray();

    std::unique_ptr<SingleInstance> instance_;
    WakeSource* wake_;
    UsageStore* store_;
    Prefs* prefs_;
    std::unique_ptr<TrayItem> tray_;
    std::unique_ptr<PanelWindow> panel_;
    std::unique_ptr<DesktopWidget> widget_;
    Notifications* notifications_ = nullptr;
    QTimer trayWait_;
    bool cardForTray_ = false;
};
