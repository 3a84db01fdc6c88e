#include "Breakdown.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace Transcript {

namespace {

constexpr double kSessionHours = 5, kWeekDays = 7;

Window around(const QString& name, double length, std::optional<Instant> reset,
              std::optional<double> percent, Instant now) {
    if (reset && *reset <= now) // the reading's window is over: its percentage is of no use
        return {name, now - length, now, std::nullopt};
    // A reset further than a window ahead tells no start: the last window's length.
    const bool known = reset && *reset - length <= now;
    return {name, known ? *reset - length : now - length, now, percent};
}

QString lastPart(const QString& path, int parts) {
    const QStringList p = path.split(u'/', Qt::SkipEmptyParts);
    return p.isEmpty() ? path
                       : QStringList(p.mid(std::max<qsizetype>(0, p.size() - parts))).join(u'/');
}

} // namespace

double modelFactor(QStringView model) {
    if (model.contains(u"opus", Qt::CaseInsensitive))
        return 5.0 / 3;
    if (model.contains(u"haiku", Qt::CaseInsensitive))
        return 1.0 / 3;
    return 1; // Sonnet, and what the table does not know
}

double weight(const Message& m) {
    return (double(m.input) + 5.0 * double(m.output) + 1.25 * double(m.cacheWrite) +
            0.1 * double(m.cacheRead)) *
           modelFactor(m.model);
}

Window sessionWindow(std::optional<Instant> reset, std::optional<double> percent, Instant now) {
    return around(QStringLiteral("session"), kSessionHours * 3600, reset, percent, now);
}

Window weekWindow(std::optional<Instant> reset, std::optional<double> percent, Instant now) {
    return around(QStringLiteral("week"), kWeekDays * 86400, reset, percent, now);
}

Window lastDays(int days, Instant now) {
    return {QStringLiteral("%1d").arg(days), now - days * 86400.0, now, std::nullopt};
}

std::optional<Window> window(const QString& name, const QList<Limit>& rows, Instant now) {
    const auto row = [&rows](const char16_t* title) -> const Limit* {
        for (const Limit& l : rows)
            if (l.title == QStringView(title))
                return &l;
        return nullptr;
    };
    if (name == u"session" || name == u"week") {
        const Limit* l = row(name == u"session" ? kSessionTitle : kWeekTitle);
        const auto reset = l ? l->resetsAt : std::nullopt;
        const auto percent = l ? std::optional(l->percent) : std::nullopt;
        return name == u"session" ? sessionWindow(reset, percent, now)
                                  : weekWindow(reset, percent, now);
    }
    bool ok = false;
    const int days = name.endsWith(u'd') ? name.chopped(1).toInt(&ok) : 0;
    if (!ok || days < 1 || days > kMaxDays)
        return std::nullopt;
    return lastDays(days, now);
}

QList<Row> rows(const QList<Message>& replies, By by, const Window& window) {
    QHash<QString, Row> byKey;
    double total = 0;
    for (const Message& m : replies) {
        if (m.at < window.from || m.at >= window.to)
            continue;
        const QString& key = by == By::Project ? m.cwd : by == By::Model ? m.model : m.session;
        Row& r = byKey[key];
        r.key = key;
        r.messages += m.count;
        r.input += m.input;
        r.output += m.output;
        r.cacheWrite += m.cacheWrite;
        r.cacheRead += m.cacheRead;
        const double w = weight(m);
        r.weight += w;
        total += w;
    }
    QList<Row> out = byKey.values();
    std::sort(out.begin(), out.end(), [](const Row& a, const Row& b) {
        return a.weight != b.weight ? a.weight > b.weight : a.key < b.key;
    });
    QHash<QString, int> names; // how many rows each short name would have
    for (Row& r : out) {
        r.share = total > 0 ? r.weight / total : 0;
        if (window.limitPercent)
            r.limitPercent = r.share * *window.limitPercent;
        r.name = by == By::Project ? lastPart(r.key, 1) : by == By::Session ? r.key.left(8) : r.key;
        if (r.name.isEmpty())
            r.name = QStringLiteral("(unknown)");
        ++names[r.name];
    }
    if (by == By::Project)
        for (Row& r : out)
            if (names.value(r.name) > 1)
                r.name = lastPart(r.key, 2);
    return out;
}

QString summary(const QList<Row>& rows, int top) {
    QStringList parts;
    for (const Row& r : rows.mid(0, top)) {
        // Parts of the limit when its percentage is known; else shares, which say so.
        if (r.limitPercent)
            parts << QStringLiteral("%1 ≈%2%").arg(r.name).arg(std::lround(*r.limitPercent));
        else
            parts << QStringLiteral("%1, %2%%3")
                         .arg(r.name)
                         .arg(std::lround(r.share * 100))
                         .arg(parts.isEmpty() ? QStringLiteral(" of the use") : QString());
    }
    return parts.isEmpty() ? QString()
                           : QStringLiteral("Mostly ") + parts.join(QStringLiteral(" · "));
}

} // namespace Transcript
