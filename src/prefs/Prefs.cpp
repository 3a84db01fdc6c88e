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

void Prefs::setStored(bool& field, bool on, const QString& key, void (Prefs::*signal)()) {
    field = on;
    emit(this->*signal)();
    emit changed();
    QSettings settings = appSettings();
    settings.setValue(key, field);
    settings.sync();
    if (onChange)
        onChange();
}

void Prefs::setDesktopWidget(bool on) {
    setStored(desktopWidget_, on, kDesktopWidget, &Prefs::desktopWidgetChanged);
}

void Prefs::setOnTop(bool on) {
    setStored(onTop_, on, kOnTop, &Prefs::onTopChanged);
}

void Prefs::setOpenAtLogin(bool on) {
    openAtLogin_ = on;
    emit openAtLoginChanged();
    emit changed();
    LoginItem::set(openAtLogin_);
}
