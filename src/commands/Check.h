#pragma once

#include "cli/Reading.h"

#include <QString>

// --check: runs the claude tool once, as the app does, and prints one line per limit.
namespace CheckCommand {

// What it prints for one reading, and whether it read at least one limit.
struct Report {
    QString text;
    bool read = false;
};
Report report(const Reading& reading, Instant now);

// The run itself: exit status 0 when a limit was read, 1 otherwise; an interrupt stops the
// tool first, then ends as the signal says.
int run(int argc, char** argv);

} // namespace CheckCommand
