#include "Pace.h"

#include "usage/Fmt.h"

#include <algorithm>
#include <cmath>

namespace Pace {

namespace {

constexpr double kSession = 5 * 3600.0, kWeek = 7 * 86400.0;
constexpr int kMinReadings = 3;
constexpr double kMinSpan = 600; // seconds the readings must cover

// A countdown that means what it says: "1h 10m", not "in 1h 10m"; never broken across lines.
QString span(double seconds) {
    const Instant zero{};
    return Fmt::countdown(zero + seconds, zero).replace(u' ', QChar::Nbsp);
}

} // namespace

std::optional<double> window(const QString& title) {
    if (title == u"Session")
        return kSession;
    if (title.startsWith(u"Week"))
        return kWeek;
    return std::nullopt;
}

bool sameWindow(const QString& title, std::optional<Instant> before, std::optional<Instant> after,
                Instant at) {
    if (!before || !after)
        return before.has_value() == after.has_value();
    if (*after == *before)
        return true;
    const double moved = secondsBetween(*before, *after);
    return *before > at && moved < (window(title) == kWeek ? 86400 : 3600);
}

std::optional<double> elapsed(const Limit& limit, Instant now) {
    const auto length = window(limit.title);
    if (!length || !limit.resetsAt)
        return std::nullopt;
    return std::clamp(1 - secondsBetween(now, *limit.resetsAt) / *length, 0.0, 1.0);
}

QList<Sample> currentWindow(const Limit& limit, const QList<Sample>& samples, Instant now) {
    QList<Sample> out;
    const auto length = window(limit.title);
    if (!length || !limit.resetsAt)
        return out;
    for (const Sample& s : samples)
        if (s.resetsAt && sameWindow(limit.title, s.resetsAt, limit.resetsAt, now) &&
            s.at >= *limit.resetsAt - *length && s.at <= now) // a clock once ahead: not yet
            out << s;
    return out;
}

std::optional<RunsOut> runsOut(const Limit& limit, const QList<Sample>& samples, Instant now) {
    const auto length = window(limit.title);
    if (!length || !limit.resetsAt || *limit.resetsAt <= now || limit.percent >= 100)
        return std::nullopt;
    // The recent part of the window: the last hour of a session, the last day of a week.
    const double recent = *length == kSession ? 3600 : 86400;
    QList<Sample> points;
    for (const Sample& s : currentWindow(limit, samples, now))
        if (s.at >= now - recent)
            points << s;
    if (points.size() < kMinReadings ||
        secondsBetween(points.first().at, points.last().at) < kMinSpan)
        return std::nullopt;
    // Least squares: percent against seconds since the first reading.
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const Sample& s : points) {
        const double x = secondsBetween(points.first().at, s.at);
        sx += x;
        sy += s.percent;
        sxx += x * x;
        sxy += x * s.percent;
    }
    const double n = points.size(), slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    if (!(slope > 0))
        return std::nullopt;
    const double in = (100 - limit.percent) / slope;
    const double beforeReset = secondsBetween(now, *limit.resetsAt) - in;
    if (beforeReset <= 0)
        return std::nullopt; // it lasts
    return RunsOut{in, beforeReset};
}

QString sentence(const RunsOut& r) {
    return QStringLiteral("At this pace it runs out in ") + span(r.in) + QStringLiteral(", ") +
           span(r.beforeReset) + QStringLiteral(" before it resets.");
}

} // namespace Pace
