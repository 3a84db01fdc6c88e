#include "AppDelegate.h"

#include "DesktopWidget.h"
#include "PanelWindow.h"
#include "RingImage.h"
#include "TrayText.h"
#include "cli/ClaudeCLI.h"
#include "platform/Files.h"
#include "platform/LogindWake.h"
#include "platform/PanelColor.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "platform/TrayItem.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/UsageStore.h"

#include <QApplication>
#include <QPalette>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kMenubarFileDelay = 3000; // ms after launch
const QString kDidFirstRun = QStringLiteral("didFirstRun");

UsageStore* makeStore(WakeSource* wake, QObject* parent) {
    UsageStore::Deps deps;
    deps.wake = wake;
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

    tray_ = TrayItem::create();
    widget_ = std::make_unique<DesktopWidget>(store_, prefs_);

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
    applyPrefs();
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

void AppDelegate::render() {
    if (!tray_)
        return;
    const std::optional<Limit> session = store_->session();
    const std::optional<double> percent = session ? std::optional(session->percent) : std::nullopt;
    const QColor text =
        panelTextColor(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), QApplication::palette());
    QList<QImage> icons;
    for (int size : {16, 22, 24, 32, 48, 64})
        icons << ringImage(percent, text, size);
    tray_->setIcons(icons);
    const TrayText t = trayText(*store_);
    tray_->setLabel(t.label);
    tray_->setToolTip(t.toolTip);
    if (widget_)
        widget_->fit();
}

void AppDelegate::applyPrefs() {
    if (prefs_->desktopWidget())
        widget_->show();
    else
        widget_->hide();
}

void AppDelegate::togglePanel(QPoint at) {
    if (panel_ && (panel_->isVisible() || panel_->justClosed())) {
        panel_->hide();
        return;
    }
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
