#include "Prefs.h"

#include "Keys.h"

#include "LoginItem.h"
#include "Settings.h"
#include "files/Diagnostics.h"

namespace {
const QString kDesktopWidget = QLatin1String(Keys::kDesktopWidget.name);
const QString kOnTop = QLatin1String(Keys::kOnTop.name);
const QString kNotify = QLatin1String(Keys::kNotify.name);
} // namespace

Prefs::Prefs(QObject* parent)
    : QObject(parent) {
    // Reading writes nothing back: defaults apply while the user has stored nothing.
    desktopWidget_ = Settings::value(kDesktopWidget, Keys::kDesktopWidget.fallback).toBool();
    onTop_ = Settings::value(kOnTop, Keys::kOnTop.fallback).toBool();
    notifyNearLimits_ = Settings::value(kNotify, Keys::kNotify.fallback).toBool();
    openAtLogin_ = LoginItem::isEnabled();
}

void Prefs::setStored(bool& field, bool on, const QString& key, void (Prefs::*signal)()) {
    field = on;
    emit(this->*signal)();
    emit changed();
    Settings::setValue(key, field);
    if (onChange)
        onChange();
}

void Prefs::setDesktopWidget(bool on) {
    setStored(desktopWidget_, on, kDesktopWidget, &Prefs::desktopWidgetChanged);
}

void Prefs::setOnTop(bool on) {
    setStored(onTop_, on, kOnTop, &Prefs::onTopChanged);
}

void Prefs::setNotifyNearLimits(bool on) {
    setStored(notifyNearLimits_, on, kNotify, &Prefs::notifyNearLimitsChanged);
}

void Prefs::setOpenAtLogin(bool on) {
    loginProblem_ = LoginItem::set(on);
    if (loginProblem_)
        Diagnostics::tellOnce(QStringLiteral("open at login can't be changed: ") + *loginProblem_);
    // The switch shows what is there, not what was asked for.
    openAtLogin_ = LoginItem::isEnabled();
    emit openAtLoginChanged();
    emit changed();
}

QString Prefs::problems() const {
    QStringList lines;
    if (const auto settings = Settings::readProblem())
        lines << QStringLiteral("Settings can't be read: ") + *settings;
    else if (const auto settings = Settings::problem())
        lines << QStringLiteral("Settings can't be saved: ") + *settings;
    if (loginProblem_)
        lines << QStringLiteral("Open at login can't be changed: ") + *loginProblem_;
    return lines.join(u'\n');
}
