#pragma once

#include "Instant.h"

#include <QList>
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

// The limit titled "Session", else the first one; absent with no limits.
inline std::optional<Limit> sessionOf(const QList<Limit>& limits) {
    for (const Limit& l : limits)
        if (l.title == u"Session")
            return l;
    if (limits.isEmpty())
        return std::nullopt;
    return limits.first();
}
