#include "AppDelegate.h"

#include "DesktopWidget.h"
#include "NearLimitAlerts.h"
#include "PanelWindow.h"
#include "RingImage.h"
#include "cli/ClaudeCLI.h"
#include "cli/Leftovers.h"
#include "cli/Updates.h"
#include "files/Diagnostics.h"
#include "files/Files.h"
#include "files/Paths.h"
#include "platform/AppBus.h"
#include "platform/DesktopLookWatcher.h"
#include "platform/LogindWake.h"
#include "platform/Notifications.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "platform/TrayItem.h"
#include "prefs/AccountList.h"
#include "prefs/Keys.h"
#include "prefs/LoginItem.h"
#include "prefs/Prefs.h"
#include "prefs/Settings.h"
#include "store/AccountStores.h"
#include "store/History.h"
#include "store/Pace.h"
#include "store/Shares.h"
#include "store/UsageStore.h"
#include "usage/TrayText.h"
#include "views/AccountsDialog.h"
#include "views/AppIcon.h"
#include "views/Theme.h"
#include "views/UsageContent.h"

#include <QApplication>
#include <QPalette>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int kMenubarFileDelay = 3000; // ms after launch
constexpr int kTrayWait = 10000;        // ms without a tray before the card stands in
constexpr int kMaxFolder = 4096;        // characters of a reported folder: a path is no longer
const QString kDidFirstRun = QLatin1String(Keys::kDidFirstRun.name);
const QString kNumberInIcon = QLatin1String(Keys::kNumberInIcon);
const QString kNoTrayTold = QLatin1String(Keys::kNoTrayTold.name);
const QString kRingInk = QLatin1String(Keys::kRingInk);
const QString kTrayAccount = QLatin1String(Keys::kTrayAccount);

// The real things: the claude tool, the release feed, the clock, the files in the support
// folder, the wake signal, and the history; the accounts the settings name.
AccountStores* makeStores(WakeSource* wake, QObject* parent) {
    UsageStore::Deps deps;
    deps.time = &systemTime();
    deps.latestVersion = [](QObject* context, UsageStore::VersionDone done) {
        Updates::latestInHelper(context, std::move(done), Updates::helperPath());
    };
    deps.statusFile = Paths::statusTxt();
    deps.usageFile = Paths::usageJson();
    deps.transcripts = Paths::transcriptsSqlite();
    deps.wake = wake;
    deps.history = new History(parent);
    const auto read = [](QObject* context, const Account& account, UsageStore::ReadDone done) {
        ClaudeCLI::Options options;
        options.configDir = account.configDir;
        ClaudeCLI::usage(context, std::move(done), options);
    };
    const AccountList::Checked accounts = AccountList::load();
    for (const QString& problem : accounts.problems)
        Diagnostics::tellOnce(problem);
    return new AccountStores(deps, read, accounts.accounts, parent);
}

} // namespace

AppDelegate::AppDelegate()
    : wake_(new LogindWake(this))
    , stores_(makeStores(wake_, this))
    , prefs_(new Prefs(this)) {}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::launch() {
    instance_ = std::make_unique<SingleInstance>();
    if (!instance_->isFirst()) {
        // Chosen again from the launcher: the copy that runs shows its panel.
        if (const auto why = AppBus::showPanelOfRunning(QDBusConnection::sessionBus()))
            Diagnostics::tellOnce(QStringLiteral("Brimwatch is already running, but its panel "
                                                 "can't be shown: ") +
                                  *why);
        return false;
    }

    // A tool the last run left running when it was killed is ended now; this run's is
    // written down in case it is killed in its turn.
    Leftovers::recordIn(Paths::toolPidFile());
    Leftovers::sweep();
    stores_->first()->history()->open(Paths::historySqlite(), std::chrono::system_clock::now());
    look_ = new DesktopLookWatcher(QDBusConnection::sessionBus(), this);
    connect(look_, &DesktopLookWatcher::changed, this, [this] {
        applyLook();
        render();
    });
    applyLook();
    tray_ = TrayItem::create();
    widget_ = std::make_unique<DesktopWidget>(stores_->trayStore(), prefs_);
    widget_->onQuit = [] { QCoreApplication::quit(); };
    widget_->onHide = [this] { cardForTray_ = false; }; // the person's choice, tray or none
    widget_->onShowUsage = [this] { showPanel(iconAt()); };
    notifications_ = new Notifications(QDBusConnection::sessionBus(), this);
    stores_->setTrayAccount(Settings::value(kTrayAccount).toString());
    applyAccounts();
    connect(stores_, &AccountStores::accountsChanged, this, &AppDelegate::applyAccounts);
    connect(notifications_, &Notifications::activated, this, [this] { showPanel(iconAt()); });
    auto* bus = new AppBus(QDBusConnection::sessionBus(), this);
    connect(bus, &AppBus::showPanelRequested, this, [this] { showPanel(iconAt()); });
    connect(bus, &AppBus::limitsReported, this, [this](const QVariantMap& limits) {
        // The folder as Claude Code was given it: "~/.claude/", a link, or the account's own.
        const QString folder = limits.value(QStringLiteral("configDir")).toString();
        if (folder.size() > kMaxFolder)
            return Diagnostics::tellOnce(
                QStringLiteral("a status line's report named a folder over 4 KB: dropped"));
        const auto account = AccountList::ofFolder(stores_->accounts(), folder);
        stores_->report(account ? account->configDir : folder, StatusLine::fromMap(limits));
    });
    connect(bus, &AppBus::accountsChanged, this, [this] {
        Settings::reread();
        AccountsDialog::apply(stores_);
    });
    trayWait_.setSingleShot(true);
    trayWait_.setInterval(kTrayWait);
    connect(&trayWait_, &QTimer::timeout, this, &AppDelegate::noTray);
    connect(tray_.get(), &TrayItem::visibilityChanged, this, &AppDelegate::trayChanged);

    connect(tray_.get(), &TrayItem::activated, this, [this](QPoint at) {
        if (!at.isNull() && DesktopLook::givesScreenPoints(look_->clues().desktop))
            iconAt_ = at; // where the host last said the icon is
        togglePanel(iconAt());
    });
    connect(tray_.get(), &TrayItem::showUsageRequested, this, [this] { showPanel(iconAt()); });
    // One of the two at a time: the menu says what the panel says.
    connect(tray_.get(), &TrayItem::menuOpened, this, [this] {
        if (panel_)
            panel_->hide();
    });
    connect(tray_.get(), &TrayItem::refreshRequested, stores_, &AccountStores::refresh);
    connect(tray_.get(), &TrayItem::quitRequested, qApp, &QCoreApplication::quit);
    // Being told to end by the system is the same as "Quit".
    connect(new QuitSignals(this), &QuitSignals::received, qApp, &QCoreApplication::quit);
    // A tool still running when the user quits is ended, so quitting is immediate.
    connect(qApp, &QCoreApplication::aboutToQuit, [] { ClaudeCLI::stopAll(); });

    QPointer<AppDelegate> self(this);
    renderSoon_.setSingleShot(true);
    renderSoon_.setInterval(0);
    connect(&renderSoon_, &QTimer::timeout, this, &AppDelegate::render);
    connect(stores_, &AccountStores::changed, &renderSoon_, qOverload<>(&QTimer::start));
    prefs_->onChange = [self] {
        if (self)
            self->applyPrefs();
    };

    firstRun(*prefs_, QCoreApplication::applicationFilePath());
    trayChanged();
    render();
    stores_->start();
    QTimer::singleShot(kMenubarFileDelay, this, &AppDelegate::writeMenubarFile);
    return true;
}

bool AppDelegate::firstRun(Prefs& prefs, const QString& executable) {
    // A program run from its build tree is not installed: it may be gone tomorrow, and the
    // installed one's first run is still to come.
    if (Settings::value(kDidFirstRun, Keys::kDidFirstRun.fallback).toBool() ||
        LoginItem::inBuildTree(executable))
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

void AppDelegate::applyLook() {
    QApplication::setPalette(DesktopLook::prefersDark(look_->clues()) ? Theme::dark()
                                                                      : Theme::light());
}

std::optional<QPoint> AppDelegate::iconAt() const {
    const QRect icon = tray_ ? tray_->geometry() : QRect();
    if (icon.isValid())
        return icon.center();
    return iconAt_;
}

void AppDelegate::applyAccounts() {
    qDeleteAll(alerts_);
    alerts_.clear();
    for (UsageStore* store : stores_->stores())
        alerts_ << new NearLimitAlerts(stores_, store, prefs_, notifications_, this);
}

QString AppDelegate::toolTipOf(const QStringList& names, const QStringList& lines) {
    if (names.size() == 1)
        return lines.value(0);
    QStringList out;
    for (qsizetype i = 0; i < names.size(); ++i)
        out << names[i] + QStringLiteral(" · ") + lines.value(i);
    return out.join(u'\n');
}

void AppDelegate::render() {
    if (!tray_)
        return;
    UsageStore* store = stores_->trayStore();
    const std::optional<Limit> session = store->session();
    const std::optional<double> percent = session ? std::optional(session->percent) : std::nullopt;
    DesktopLook::Clues clues = look_->clues();
    clues.ringInk = Settings::value(kRingInk).toString();
    const DesktopLook::Ink ink = DesktopLook::ringInk(clues);
    const bool number = numberInIcon(tray_->drawsLabel());
    if (!drawn_ || *drawn_ != std::tuple(percent, ink, number)) {
        drawn_ = std::tuple(percent, ink, number);
        QList<QImage> icons;
        for (int size : {16, 22, 24, 32, 48, 64})
            icons << ringImage(percent, ink, size, number);
        tray_->setIcons(icons);
    }
    const TrayText t = trayText(session, store->isLoading(), store->error(), store->now());
    tray_->setLabel(t.label);
    const bool several = stores_->stores().size() > 1;
    const QString account = stores_->trayAccount().name;
    tray_->setDescription(several ? t.description + QStringLiteral(" (") + account + u')'
                                  : t.description);
    QStringList names, lines;
    QList<MenuAccount> menu;
    for (qsizetype i = 0; i < stores_->stores().size(); ++i) {
        const UsageStore* s = stores_->stores()[i];
        names << stores_->accounts()[i].name;
        lines << trayText(s->session(), s->isLoading(), s->error(), s->now()).toolTip;
        menu << MenuAccount{names.last(), s->limits(), s->isLoading(), s->error()};
    }
    tray_->setReadings(trayMenuLines(menu, store->now(), UsageContent::kMaxRows));
    // Where the tray account's session's pace leads, when that is before its reset.
    const auto runsOut = session
                             ? Pace::runsOut(*session, store->samples(session->title), store->now())
                             : std::nullopt;
    QString tip = toolTipOf(names, lines);
    if (runsOut)
        tip += u'\n' + Pace::sentence(*runsOut);
    if (stores_->shares()) // what used the session most, by Claude Code's transcripts
        if (const QString top = Transcript::summary(
                stores_->shares()->of(stores_->trayAccount().folder()).session, 1);
            !top.isEmpty())
            tip += u'\n' + top + QStringLiteral(" (estimated)");
    tray_->setToolTip(tip);
    if (widget_) {
        widget_->setStore(store, several ? account : QString());
        widget_->fit();
    }
}

void AppDelegate::applyPrefs() {
    widget_->offersShowUsage = cardForTray_;
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
    if (Settings::value(kNoTrayTold, Keys::kNoTrayTold.fallback).toBool())
        return;
    Settings::setValue(kNoTrayTold, true);
    // A body that a banner shows whole (GNOME's cuts one at about 58 characters).
    notifications_->notify(
        {QStringLiteral("Brimwatch has no tray here"),
         DesktopLook::isAppIndicatorHost(look_->clues().desktop)
             ? QStringLiteral("Add the AppIndicator extension, or right-click the card.")
             : QStringLiteral("Right-click its desktop card for the menu."),
         Notifications::Urgency::Normal, 0, AppIcon::image(64)});
}

void AppDelegate::togglePanel(std::optional<QPoint> at) {
    if (panel_ && panel_->justOpened())
        return; // a double click opens it, as a single one does
    if (panel_ && (panel_->isVisible() || panel_->justClosed())) {
        panel_->hide();
        return;
    }
    showPanel(at);
}

void AppDelegate::showPanel(std::optional<QPoint> at) {
    if (stores_->shares())
        stores_->shares()->refreshNow();
    // The panel says what the bubbles say, and they would cover it.
    notifications_->closeAll();
    for (UsageStore* store : stores_->stores())
        store->refreshIfStale(60);
    // Built on first use: most of the time the panel is never opened.
    if (!panel_)
        panel_ = std::make_unique<PanelWindow>(stores_, prefs_);
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
    Files::write(Paths::menubarTxt(),
                 menubarLine(tray_->isVisible(), frame.isValid() ? frame : QRect()).toUtf8());
}
