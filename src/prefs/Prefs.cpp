#include "Prefs.h"

#include "LoginItem.h"
#include "Settings.h"

namespace {
const QString kDesktopWidget = QStringLiteral("desktopWidget");
const QString kOnTop = QStringLiteral("onTop");
} // namespace

Prefs::Prefs(QObject* parent)
    : QObject(parent) {
    // Reading writes nothing back: defaults apply while the user has stored nothing.
    const QSettings settings = appSettings();
    desktopWidget_ = settings.value(kDesktopWidget, true).toBool();
    onTop_ = settings.value(kOnTop, false).toBool();
    openAtLogin_ = LoginItem::isEnabled();
}

void Prefs::persist(const QString& key, bool value) {
    QSettings settings = appSettings();
    settings.setValue(key, value);
    settings.sync();
}

void Prefs::setDesktopWidget(bool on) {
    desktopWidget_ = on;
    emit desktopWidgetChanged();
    emit changed();
    persist(kDesktopWidget, desktopWidget_);
    if (onChange)
        onChange();
}

void Prefs::setOnTop(bool on) {
    onTop_ = on;
    emit onTopChanged();
    emit changed();
    persist(kOnTop, onTop_);
    if (onChange)
        onChange();
}

void Prefs::setOpenAtLogin(bool on) {
    openAtLogin_ = on;
    emit openAtLoginChanged();
    emit changed();
    LoginItem::set(openAtLogin_);
}
