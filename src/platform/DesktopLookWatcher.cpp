#include "DesktopLookWatcher.h"

#include "XSettings.h"

#include <QColor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kPortalSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kXfconf = QStringLiteral("org.xfce.Xfconf");
const QString kXfconfPath = QStringLiteral("/org/xfce/Xfconf");
const QString kPanelChannel = QStringLiteral("xfce4-panel");
const QString kDarkMode = QStringLiteral("/panels/dark-mode");
constexpr int kAskTimeout = 2000; // ms: a portal that hangs is no portal

// A reply's value, unwrapped from the variants the portal wraps it in.
QVariant unwrap(QVariant v) {
    while (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>())
        v = v.value<QDBusVariant>().variant();
    return v;
}

// color-scheme: 1 prefers dark, 2 prefers light, 0 says nothing.
std::optional<bool> colorScheme(const QVariant& v) {
    const uint scheme = unwrap(v).toUInt();
    return scheme == 1 ? std::optional(true) : scheme == 2 ? std::optional(false) : std::nullopt;
}

QString configFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

DesktopLookWatcher::DesktopLookWatcher(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , bus_(bus) {
    clues_.desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    // QtDBus finds a slot's argument types by name: without this, a slot that takes a variant
    // is never connected, and no change would ever be heard.
    qRegisterMetaType<QDBusVariant>();
    if (bus_.isConnected()) {
        bus_.connect(kPortal, kPortalPath, kPortalSettings, QStringLiteral("SettingChanged"), this,
                     SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
        askPortal();
        // Asked only on XFCE: elsewhere the call would start xfconfd for nothing.
        if (clues_.desktop.contains(u"XFCE", Qt::CaseInsensitive)) {
            bus_.connect(kXfconf, kXfconfPath, kXfconf, QStringLiteral("PropertyChanged"), this,
                         SLOT(xfconfPropertyChanged(QString, QString, QDBusVariant)));
            askXfconf();
        }
    }
    xsettings_ = XSettings::create();
    if (xsettings_) {
        clues_.gtkTheme = xsettings_->value(QStringLiteral("Net/ThemeName")).toString();
        connect(xsettings_.get(), &XSettings::changed, this, [this] {
            DesktopLook::Clues c = clues_;
            c.gtkTheme = xsettings_->value(QStringLiteral("Net/ThemeName")).toString();
            update(c);
        });
    }
    if (clues_.desktop.contains(u"KDE", Qt::CaseInsensitive)) {
        // KConfig replaces its files whole: watch the folder, and the files while they exist.
        kdeFiles_.addPath(configFolder());
        connect(&kdeFiles_, &QFileSystemWatcher::directoryChanged, this,
                &DesktopLookWatcher::readKdeFiles);
        connect(&kdeFiles_, &QFileSystemWatcher::fileChanged, this,
                &DesktopLookWatcher::readKdeFiles);
        readKdeFiles();
    }
}

DesktopLookWatcher::~DesktopLookWatcher() = default;

void DesktopLookWatcher::update(const DesktopLook::Clues& clues) {
    if (clues == clues_)
        return;
    clues_ = clues;
    emit changed();
}

void DesktopLookWatcher::askPortal() {
    QDBusMessage call = QDBusMessage::createMethodCall(kPortal, kPortalPath, kPortalSettings,
                                                       QStringLiteral("Read"));
    call << kAppearance << QStringLiteral("color-scheme");
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, kAskTimeout), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *pending;
        if (reply.isError())
            return;
        DesktopLook::Clues c = clues_;
        c.portalDark = colorScheme(QVariant::fromValue(reply.value()));
        update(c);
    });
}

void DesktopLookWatcher::portalSettingChanged(const QString& group, const QString& key,
                                              const QDBusVariant& v) {
    if (group != kAppearance || key != u"color-scheme")
        return;
    DesktopLook::Clues c = clues_;
    c.portalDark = colorScheme(QVariant::fromValue(v));
    update(c);
}

void DesktopLookWatcher::askXfconf() {
    QDBusMessage call = QDBusMessage::createMethodCall(kXfconf, kXfconfPath, kXfconf,
                                                       QStringLiteral("GetProperty"));
    call << kPanelChannel << kDarkMode;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, kAskTimeout), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *pending;
        if (reply.isError())
            return;
        DesktopLook::Clues c = clues_;
        c.xfceHostPanelDark = unwrap(reply.value().variant()).toBool();
        update(c);
    });
}

void DesktopLookWatcher::xfconfPropertyChanged(const QString& channel, const QString& property,
                                               const QDBusVariant& v) {
    if (channel != kPanelChannel || property != kDarkMode)
        return;
    DesktopLook::Clues c = clues_;
    c.xfceHostPanelDark = unwrap(v.variant()).toBool();
    update(c);
}

void DesktopLookWatcher::readKdeFiles() {
    const QString folder = configFolder();
    DesktopLook::Clues c = clues_;
    c.plasmaTheme = QSettings(folder + QStringLiteral("/plasmarc"), QSettings::IniFormat)
                        .value(QStringLiteral("Theme/name"))
                        .toString();
    // "r,g,b", which QSettings reads as a list.
    const QVariant background =
        QSettings(folder + QStringLiteral("/kdeglobals"), QSettings::IniFormat)
            .value(QStringLiteral("Colors:Window/BackgroundNormal"));
    const QStringList rgb = background.toStringList().size() == 3
                                ? background.toStringList()
                                : background.toString().split(u',');
    c.kdeColorsDark = std::nullopt;
    if (rgb.size() == 3)
        c.kdeColorsDark = QColor(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt()).lightness() < 128;
    for (const char* name : {"/plasmarc", "/kdeglobals"})
        if (QFile::exists(folder + QLatin1String(name)))
            kdeFiles_.addPath(folder + QLatin1String(name));
    update(c);
}
