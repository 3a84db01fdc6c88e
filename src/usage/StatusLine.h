#pragma once

#include "Limit.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// What Claude Code hands its status-line command after every message: a JSON document whose
// "rate_limits" hold the plan's session ("five_hour") and week ("seven_day") windows, when
// plan limits apply. Reading it, judging it, the line printed for it, and the rows it updates.
namespace StatusLine {

inline constexpr qint64 kMaxInput = 1 << 20; // bytes of the document read
// A reset further ahead than its window is long (and a few minutes for clocks apart) is no
// plan's window.
inline constexpr double kSlack = 300;
inline constexpr double kSessionAhead = 5 * 3600 + kSlack, kWeekAhead = 7 * 86400 + kSlack;

// One window as reported: its percentage used and when it resets.
struct Window {
    double percent = 0;
    Instant resetsAt;
    friend bool operator==(const Window&, const Window&) = default;
};

// The two windows a document may carry; either may be missing.
struct Windows {
    std::optional<Window> session, week;
    bool empty() const { return !session && !week; }
    friend bool operator==(const Windows&, const Windows&) = default;
};

// A document read at now. Windows that make no sense are left out, each with one line in
// problems; a document that is not an object of the right shape is unreadable.
struct Document {
    bool readable = false;
    bool planLimits = false; // "rate_limits" is there
    Windows windows;
    QStringList problems;
};

Document read(const QByteArray& json, Instant now);

// Why a window makes no sense at now (a percentage outside 0-100, a reset that has passed or
// is further than maxAhead seconds away), or nothing when it does. The one rule for the
// command and the app.
std::optional<QString> problemOf(const Window& w, Instant now, double maxAhead);

// The status line: "◔ 82% · 2h 5m │ week 40%", percentages coloured by level with ANSI
// escapes when colour is on. Empty windows give an empty string.
QString line(const Windows& w, Instant now, bool colour);

// The session and week rows of a reading, for when the document has no windows.
Windows fromRows(const QList<Limit>& rows);

// The rows after a report: the session and week rows take its windows (and are added,
// first, when missing); every other row stays as it was.
QList<Limit> merged(QList<Limit> rows, const Windows& w);

// The windows as sent over the bus, and back: "sessionPercent", "sessionResetsAt",
// "weekPercent", "weekResetsAt" (Unix seconds). Missing or mistyped members give no window.
QVariantMap toMap(const Windows& w);
Windows fromMap(const QVariantMap& map);

} // namespace StatusLine
