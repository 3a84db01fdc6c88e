#include "AppDelegate.h"

#include "DesktopWidget.h"
#include "NearLimitAlerts.h"
#include "PanelWindow.h"
#include "RingImage.h"
#include "TrayText.h"
#include "cli/ClaudeCLI.h"
#include "platform/Files.h"
#include "platform/LogindWake.h"
#include "platform/Notifications.h"
#include "platform/PanelColor.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "platform/TrayItem.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/History.h"
#include "store/Pace.h"
#include "store/UsageStore.h"

#include <QApplication>
#include <QPalette>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kMenubarFileDelay = 3000; // ms after launch
constexpr int kTrayWait = 10000;        // ms without a tray before the card stands in
const QString kDidFirstRun = QStringLiteral("didFirstRun");
const QString kNumberInIcon = QStringLiteral("numberInIcon");
const QString kNoTrayTold = QStringLiteral("noTrayNoticeShown");

UsageStore* makeStore(WakeSource* wake, QObject* parent) {
    UsageStore::Deps deps;
    deps.wake = wake;
    deps.history = new History(parent);
    return new UsageStore(deps, parent);
}

} // namespace

AppDelegate::AppDelegate()
    : wake_(new LogindWake(this))
    , store_(makeStore(wake_, this))
    , prefs_(new Prefs(this)) {}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::launch() {
    instance_ = std::make_unique<SingleInstance>();
    if (!instance_->isFirst())
        return false;

    store_->history()->open(ClaudeCLI::supportDir() + QStringLiteral("/history.sqlite"),
                            std::chrono::system_clock::now());
    tray_ = TrayItem::create();
    widget_ = std::make_unique<DesktopWidget>(store_, prefs_);
    widget_->onQuit = [] { QCoreApplication::quit(); };
    widget_->onHide = [this] { cardForTray_ = false; }; // the person's choice, tray or none
    notifications_ = new Notifications(QDBusConnection::sessionBus(), this);
    new NearLimitAlerts(store_, prefs_, notifications_, this);
    connect(notifications_, &Notifications::activated, this,
            [this] { showPanel(tray_->geometry().center()); });
    trayWait_.setSingleShot(true);
    trayWait_.setInterval(kTrayWait);
    connect(&trayWait_, &QTimer::timeout, this, &AppDelegate::noTray);
    connect(tray_.get(), &TrayItem::visibilityChanged, this, &AppDelegate::trayChanged);

    connect(tray_.get(), &TrayItem::activated, this, &AppDelegate::togglePanel);
    connect(tray_.get(), &TrayItem::showUsageRequested, this,
            [this] { togglePanel(tray_->geometry().center()); });
    connect(tray_.get(), &TrayItem::refreshRequested, store_, &UsageStore::refresh);
    connect(tray_.get(), &TrayItem::quitRequested, qApp, &QCoreApplication::quit);
    // Being told to end by the system is the same as "Quit".
    connect(new QuitSignals(this), &QuitSignals::received, qApp, &QCoreApplication::quit);
    // A tool still running when the user quits is ended, so quitting is immediate.
    connect(qApp, &QCoreApplication::aboutToQuit, [] { ClaudeCLI::stopAll(); });

    QPointer<AppDelegate> self(this);
    store_->onChange = [self] {
        if (self)
            self->render();
    };
    prefs_->onChange = [self] {
        if (self)
            self->applyPrefs();
    };

    firstRun(*prefs_);
    trayChanged();
    render();
    store_->start();
    QTimer::singleShot(kMenubarFileDelay, this, &AppDelegate::writeMenubarFile);
    return true;
}

bool AppDelegate::firstRun(Prefs& prefs) {
    if (Settings::value(kDidFirstRun, false).toBool())
        return false;
    // Only once the mark is stored: settings that cannot be saved would otherwise turn
    // open at login on again at every launch.
    Settings::setValue(kDidFirstRun, true);
    if (Settings::problem())
        return false;
    prefs.setOpenAtLogin(true);
    return true;
}

bool AppDelegate::numberInIcon(bool trayDrawsLabel) {
    const QVariant stored = Settings::value(kNumberInIcon);
    return stored.isValid() ? stored.toBool() : !trayDrawsLabel;
}

void AppDelegate::render() {
    if (!tray_)
        return;
    const std::optional<Limit> session = store_->session();
    const std::optional<double> percent = session ? std::optional(session->percent) : std::nullopt;
    const QColor text =
        panelTextColor(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), QApplication::palette());
    const bool number = numberInIcon(tray_->drawsLabel());
    QList<QImage> icons;
    for (int size : {16, 22, 24, 32, 48, 64})
        icons << ringImage(percent, text, size, number);
    tray_->setIcons(icons);
    const TrayText t = trayText(session, store_->isLoading(), store_->error(), store_->now());
    tray_->setLabel(t.label);
    // Where the session's pace leads, when that is before its reset.
    const auto runsOut =
        session ? Pace::runsOut(*session, store_->history()->samples(session->title), store_->now())
                : std::nullopt;
    tray_->setToolTip(runsOut ? t.toolTip + u'\n' + Pace::sentence(*runsOut) : t.toolTip);
    if (widget_)
        widget_->fit();
}

void AppDelegate::applyPrefs() {
    if (prefs_->desktopWidget() || cardForTray_)
        widget_->show();
    else
        widget_->hide();
}

void AppDelegate::trayChanged() {
    if (tray_->isVisible()) {
        trayWait_.stop();
        cardForTray_ = false;
    } else if (!trayWait_.isActive() && !cardForTray_) {
        trayWait_.start();
    }
    applyPrefs();
    render(); // the ring shows its number where no label is drawn
}

void AppDelegate::noTray() {
    cardForTray_ = true;
    applyPrefs();
    if (Settings::value(kNoTrayTold, false).toBool())
        return;
    Settings::setValue(kNoTrayTold, true);
    notifications_->notify(QStringLiteral("Brimwatch can't find a tray on this desktop, so it "
                                          "shows its card instead."),
                           QStringLiteral("On GNOME, the AppIndicator extension adds one."),
                           Notifications::Urgency::Normal);
}

void AppDelegate::togglePanel(QPoint at) {
    if (panel_ && (panel_->isVisible() || panel_->justClosed())) {
        panel_->hide();
        return;
    }
    showPanel(at);
}

void AppDelegate::showPanel(QPoint at) {
    store_->refreshIfStale(60);
    // Built on first use: most of the time the panel is never opened.
    if (!panel_)
        panel_ = std::make_unique<PanelWindow>(store_, prefs_);
    panel_->showNear(at);
}

QString AppDelegate::menubarLine(bool visible, const QRect& frame) {
    return QStringLiteral("menu bar item: visible=%1 frame={{%2, %3}, {%4, %5}}\n")
        .arg(visible ? QStringLiteral("true") : QStringLiteral("false"))
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height());
}

void AppDelegate::writeMenubarFile() {
    if (!tray_)
        return;
    // Best effort, into the support folder only if it exists by now.
    const QRect frame = tray_->geometry();
    Files::write(ClaudeCLI::supportDir() + QStringLiteral("/menubar.txt"),
                 menubarLine(tray_->isVisible(), frame.isValid() ? frame : QRect()).toUtf8());
}
