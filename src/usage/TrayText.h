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
