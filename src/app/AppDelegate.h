#pragma once

#include "platform/DesktopLook.h"

#include <QObject>
#include <QPoint>
#include <QTimer>

#include <memory>
#include <optional>
#include <tuple>

class AccountStores;
class DesktopLookWatcher;
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

    AccountStores* stores() const { return stores_; }
    Prefs* prefs() const { return prefs_; }

    // The tooltip's lines with several accounts: each account's session line, after its name.
    static QString toolTipOf(const QStringList& names, const QStringList& lines);

    // "menu bar item: visible=true frame={{x, y}, {w, h}}"
    static QString menubarLine(bool visible, const QRect& frame);

    // Open at login is on from the very first launch of an installed program, once the
    // settings have kept the mark of it; later launches leave it alone. True when this was
    // the first run.
    static bool firstRun(Prefs& prefs, const QString& executable);

    // Whether the ring shows the percentage: the settings' "numberInIcon" when set, else
    // where the tray draws no label beside it.
    static bool numberInIcon(bool trayDrawsLabel);

private:
    void render();
    void applyPrefs();
    void applyLook();
    void togglePanel(std::optional<QPoint> at);
    void showPanel(std::optional<QPoint> at);
    // Where the tray icon is: its geometry where the host tells it, else where the host last
    // said a click was.
    std::optional<QPoint> iconAt() const;
    void writeMenubarFile();
    // No tray to be found for a while: the card stands in for it, for this run only.
    void trayChanged();
    void noTray();
    // The accounts as the settings file says now; alerts for each.
    void applyAccounts();

    std::unique_ptr<SingleInstance> instance_;
    WakeSource* wake_;
    AccountStores* stores_;
    Prefs* prefs_;
    std::unique_ptr<TrayItem> tray_;
    std::unique_ptr<PanelWindow> panel_;
    std::unique_ptr<DesktopWidget> widget_;
    Notifications* notifications_ = nullptr;
    QList<class NearLimitAlerts*> alerts_;
    DesktopLookWatcher* look_ = nullptr;
    std::optional<QPoint> iconAt_;
    QTimer trayWait_;
    // One render for the several changes of one reading.
    QTimer renderSoon_;
    // What the icons were last drawn for: a reading that leaves the ring as it was redraws nothing.
    std::optional<std::tuple<std::optional<double>, DesktopLook::Ink, bool>> drawn_;
    bool cardForTray_ = false;
};
