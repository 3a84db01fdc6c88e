#pragma once

#include "cli/Reading.h"
#include "usage/Instant.h"

#include <QString>
#include <QStringList>

#include <functional>

// The process entry: which mode the arguments ask for, and the text-only modes.
namespace Entry {

enum class Mode { MakeIcon, Parse, Check, Status, Waybar, History, Snapshot, Help, Version, App };

// Exact, case-sensitive match on the first argument; arguments after the second are ignored.
Mode dispatch(const QStringList& args);

// The sample usage screen, three lines, no final line feed.
QString sampleText();

// Shortest decimal that reads back to the same double, with at least one fractional digit.
QString formatPercent(double percent);

// "Session | 82.0% | in 2h 19m (2025-10-10 22:19:00 +0000)", a line per limit.
QString limitLines(const QList<Limit>& limits, Instant now);

// One line per limit of the text, or "no rows · " and the explanation; every line ends in "\n".
QString parseReport(const QString& text, Instant now);
// --parse: reads all the input, then takes the time, so a slow producer gets fresh countdowns.
QString parseInput(const std::function<QByteArray()>& read, const std::function<Instant()>& clock);

// What --check prints for one reading, and whether it read at least one limit.
struct CheckReport {
    QString text;
    bool read = false;
};
CheckReport checkReport(const Reading& reading, Instant now);

QString helpText();
QString versionText();

} // namespace Entry
