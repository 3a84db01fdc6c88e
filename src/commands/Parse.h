#pragma once

#include "usage/Limit.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// --parse: a usage screen of the claude tool from standard input, one line per limit.
namespace ParseCommand {

// Shortest decimal that reads back to the same double, with at least one fractional digit.
QString formatPercent(double percent);

// "Session | 82.0% | in 2h 19m (2025-10-10 22:19:00 +0000)", a line per limit.
QString limitLines(const QList<Limit>& limits, Instant now);

// One line per limit of the text, or "no rows · " and the explanation; every line ends in "\n".
QString report(const QString& text, Instant now);
// Reads all the input, then takes the time, so a slow producer gets fresh countdowns.
QString fromInput(const std::function<QByteArray()>& read, const std::function<Instant()>& clock);

int run(); // standard input to standard output

} // namespace ParseCommand
