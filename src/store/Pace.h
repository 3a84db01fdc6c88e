#pragma once

#include "HistoryDb.h"

#include <QList>
#include <QString>

#include <optional>

// Will a limit last until its reset? Where an even pace would stand now, and where the recent
// rate of use leads. Plain arithmetic on readings; the clock is passed in.
namespace Pace {

// The length of a limit's window in seconds: 5 hours for "Session", 7 days for a title
// starting with "Week"; none for the others (they get no pace).
std::optional<double> window(const QString& title);

// Whether a later reading's reset is still the window of an earlier one's. The tool may
// print one reset a few minutes apart from one reading to the next: only a reset that moved
// later by an hour or more (a day or more for a week), or an earlier one that had passed by
// the later reading (`at`), starts a new window. Alerts and the pace both go by this.
bool sameWindow(const QString& title, std::optional<Instant> before, std::optional<Instant> after,
                Instant at);

// The share of the window that has passed at now, 0 to 1: where an even pace would be.
std::optional<double> elapsed(const Limit& limit, Instant now);

// At the recent rate of use (a least-squares slope over the last hour of a session, the last
// day of a week, from at least 3 readings 10 minutes apart or more), when the limit runs out,
// if that is before its reset.
struct RunsOut {
    double in;          // seconds from now until 100 %
    double beforeReset; // seconds between that and the reset
    friend bool operator==(const RunsOut&, const RunsOut&) = default;
};
std::optional<RunsOut> runsOut(const Limit& limit, const QList<Sample>& samples, Instant now);

// "At this pace it runs out in 1h 10m, 55m before it resets."
QString sentence(const RunsOut& r);

// The samples of the limit's window as read at now.
QList<Sample> currentWindow(const Limit& limit, const QList<Sample>& samples, Instant now);

} // namespace Pace
