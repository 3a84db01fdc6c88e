#include "StatusLine.h"

#include "Sense.h"

#include "Fmt.h"
#include "Level.h"
#include "Percent.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace StatusLine {

namespace {

// The rows the tool prints for these windows, so that a report and a tool run agree on
// which row is which (alerts and history know rows by their label and title).
const QString kSessionLabel = QStringLiteral("Current session");
const QString kSessionTitle = QStringLiteral("Session");
const QString kWeekLabel = QStringLiteral("Current week (all models)");
const QString kWeekTitle = QStringLiteral("Week · all models");

double toUnix(Instant t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

QString coloured(const QString& text, double percent, bool colour) {
    if (!colour)
        return text;
    switch (levelOf(percent)) {
    case Level::Normal:
        return text;
    case Level::Warn:
        return QStringLiteral("\x1b[33m") + text + QStringLiteral("\x1b[0m");
    case Level::Danger:
    case Level::Reached:
        return QStringLiteral("\x1b[31m") + text + QStringLiteral("\x1b[0m");
    }
    return text;
}

// One window of "rate_limits", or why it cannot be taken.
std::optional<Window> window(const QJsonObject& limits, const char* key, double maxAhead,
                             Instant now, QStringList& problems) {
    const QJsonValue v = limits.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    const QJsonValue percent = o.value(QStringLiteral("used_percentage"));
    const QJsonValue resets = o.value(QStringLiteral("resets_at"));
    if (!v.isObject() || !percent.isDouble() || !resets.isDouble()) {
        problems << QStringLiteral("%1 is not a percentage and a reset time").arg(key);
        return std::nullopt;
    }
    const std::optional<Instant> at = Sense::instant(resets.toDouble());
    if (!at) {
        problems << QStringLiteral("%1: its reset is not a time").arg(key);
        return std::nullopt;
    }
    const Window w{percent.toDouble(), *at};
    if (const auto problem = problemOf(w, now, maxAhead)) {
        problems << QLatin1String(key) + QStringLiteral(": ") + *problem;
        return std::nullopt;
    }
    // The whole percentage the tool's own screen prints (it floors; the document has one
    // decimal), so that /usage, the status line and the app agree: 99.9 is not yet 100.
    return Window{std::floor(w.percent), w.resetsAt};
}

std::optional<Window> fromRow(const QList<Limit>& rows, const QString& title) {
    for (const Limit& l : rows)
        if (l.title == title && l.resetsAt)
            return Window{l.percent, *l.resetsAt};
    return std::nullopt;
}

} // namespace

Document read(const QByteArray& json, Instant now) {
    Document d;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        d.problems << QStringLiteral("the input is not a JSON object");
        return d;
    }
    const QJsonValue limits = doc.object().value(QStringLiteral("rate_limits"));
    d.readable = limits.isUndefined() || limits.isNull() || limits.isObject();
    d.planLimits = limits.isObject();
    if (!d.readable) {
        d.problems << QStringLiteral("rate_limits is not an object");
        return d;
    }
    const QJsonObject o = limits.toObject();
    d.windows.session = window(o, "five_hour", kSessionAhead, now, d.problems);
    d.windows.week = window(o, "seven_day", kWeekAhead, now, d.problems);
    return d;
}

std::optional<QString> problemOf(const Window& w, Instant now, double maxAhead) {
    if (!(w.percent >= 0 && w.percent <= 100))
        return QStringLiteral("%1% is not a percentage").arg(w.percent);
    const double ahead = secondsBetween(now, w.resetsAt);
    if (!(ahead > 0))
        return QStringLiteral("its reset has passed");
    if (ahead > maxAhead)
        return QStringLiteral("its reset is further away than its window is long");
    return std::nullopt;
}

QString line(const Windows& w, Instant now, bool colour) {
    QStringList parts;
    if (w.session)
        parts << coloured(roundedPercent(w.session->percent) + u'%', w.session->percent, colour) +
                     QStringLiteral(" · ") + Fmt::countdown(w.session->resetsAt, now);
    if (w.week)
        parts << QStringLiteral("week ") +
                     coloured(roundedPercent(w.week->percent) + u'%', w.week->percent, colour);
    if (parts.isEmpty())
        return {};
    return QStringLiteral("◔ ") + parts.join(QStringLiteral(" │ "));
}

Windows fromRows(const QList<Limit>& rows) {
    return {fromRow(rows, kSessionTitle), fromRow(rows, kWeekTitle)};
}

QList<Limit> merged(QList<Limit> rows, const Windows& w) {
    const auto take = [&rows](const QString& label, const QString& title,
                              const std::optional<Window>& window, qsizetype at) {
        if (!window)
            return;
        for (Limit& l : rows)
            if (l.title == title) {
                l.percent = window->percent;
                l.resetsAt = window->resetsAt;
                l.resetText.reset(); // the tool's words no longer describe it
                return;
            }
        rows.insert(std::min(at, rows.size()),
                    Limit{label, title, window->percent, window->resetsAt, std::nullopt});
    };
    take(kSessionLabel, kSessionTitle, w.session, 0);
    take(kWeekLabel, kWeekTitle, w.week, w.session ? 1 : 0);
    return rows;
}

QVariantMap toMap(const Windows& w) {
    QVariantMap map;
    if (w.session) {
        map.insert(QStringLiteral("sessionPercent"), w.session->percent);
        map.insert(QStringLiteral("sessionResetsAt"), toUnix(w.session->resetsAt));
    }
    if (w.week) {
        map.insert(QStringLiteral("weekPercent"), w.week->percent);
        map.insert(QStringLiteral("weekResetsAt"), toUnix(w.week->resetsAt));
    }
    return map;
}

Windows fromMap(const QVariantMap& map) {
    const auto get = [&map](const QString& prefix) -> std::optional<Window> {
        const QVariant percent = map.value(prefix + QStringLiteral("Percent"));
        const QVariant resets = map.value(prefix + QStringLiteral("ResetsAt"));
        if (percent.typeId() != QMetaType::Double || resets.typeId() != QMetaType::Double)
            return std::nullopt;
        const std::optional<Instant> at = Sense::instant(resets.toDouble());
        if (!at)
            return std::nullopt;
        return Window{percent.toDouble(), *at};
    };
    return {get(QStringLiteral("session")), get(QStringLiteral("week"))};
}

} // namespace StatusLine
