#pragma once

#include "Instant.h"

#include <QString>

#include <optional>

// One plan limit as read from one usage line. Identity is rawLabel.
struct Limit {
    QString rawLabel;                 // the label before the colon, trimmed
    QString title;                    // short display title
    double percent = 0;               // as printed, not clamped
    std::optional<Instant> resetsAt;  // absent when the reset text is missing or unreadable
    std::optional<QString> resetText; // exactly as printed after "resets"

    const QString& id() const { return rawLabel; }
    friend bool operator==(const Limit&, const Limit&) = default;
};
