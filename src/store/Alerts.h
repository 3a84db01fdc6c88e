#pragma once

#include "platform/Urgency.h"
#include "usage/Limit.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// Warnings before a limit runs out: when a reading crosses a band (80 %, where the bar turns
// warn; 95 %, danger; 100 %, reached), and when a limit that reached 95 % is back below 80 %
// in a new window. Each limit has one bubble on screen: a new notice replaces it while it
// shows, and a new window closes it. Plain decisions on readings; sending and remembering them
// is the shell's business.
namespace Alerts {

using ::Urgency;

struct Notice {
    QString limit;   // the limit's title: its notices replace each other
    QString summary; // "Claude session at 82%", "Claude session limit reached", "Work: session
                     // at 82%" (an account's name leads, where a daemon cuts the end)
    QString body;    // "Resets in 2h 5m · 3:29 PM", the reset text, or nothing
    Urgency urgency;
    friend bool operator==(const Notice&, const Notice&) = default;
};

// What was notified for a limit: the highest band, in the window ending at that reset.
struct Mark {
    int band = 0;
    std::optional<Instant> window;
    friend bool operator==(const Mark&, const Mark&) = default;
};
using Marks = QMap<QString, Mark>; // by limit title

// The notices one good reading gives, the bubbles it closes, and the marks to keep after it.
// Within a window a band is told once, whatever the readings do in between; a new window
// starts afresh. Marks of windows over for a day, or of limits gone that had no reset, go.
// `account`: the name that leads the summaries where there are several accounts, or none.
//
// Before the bands, the pace: a limit at kPaceFrom % or more whose recent pace (`runsOut`, by
// title) reaches 100 % at least kPaceAhead seconds before its reset, with nothing told yet in
// its window, is told once ("session runs out at 3:40 PM at this pace"), with what used it
// most (`usedBy`, by title) in the body. Its mark is kPaceBand: the bands still follow.
inline constexpr double kPaceFrom = 50, kPaceAhead = 15 * 60;
inline constexpr int kPaceBand = 1;
struct Step {
    QList<Notice> notices;
    QStringList closes; // limits whose window is over: their standing bubble goes
    Marks marks;
};
struct Ahead {
    Instant runsOut;
    double beforeReset = 0; // seconds
};
Step decide(const QList<Limit>& limits, const Marks& marks, Instant now,
            const QString& account = {}, const QMap<QString, Ahead>& runsOut = {},
            const QMap<QString, QString>& usedBy = {});

} // namespace Alerts
