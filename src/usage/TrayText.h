#pragma once

#include "usage/Limit.h"

#include <QString>

#include <optional>

// What the tray item says: the short text beside the ring and the tooltip.
struct TrayText {
    QString label;
    QString toolTip;
    QString description; // for screen readers: "Claude usage: session 83%, resets in 2h 5m"
    friend bool operator==(const TrayText&, const TrayText&) = default;
};

// " 83% · 2h 5m" and "Session: 83% used, resets in 2h 5m"; " ..." while the first reading
// runs, " -" when there is nothing to show (the error, if any, as the tooltip).
TrayText trayText(const std::optional<Limit>& session, bool isLoading,
                  const std::optional<QString>& error, Instant now);

// The readings at the top of the tray item's menu: each limit's "Session: 83% used, resets in
// 2h 5m", after the account's name when there are several ("Work · Session: …"), or what
// stands in for the readings (" ..." reading, the error cut to one short line). At most
// `maxLimits` limits an account.
struct MenuAccount {
    QString name;
    QList<Limit> limits;
    bool isLoading = false;
    std::optional<QString> error;
};
QStringList trayMenuLines(const QList<MenuAccount>& accounts, Instant now, qsizetype maxLimits);
