#pragma once

#include "Options.h"
#include "Output.h"
#include "store/UsageFile.h"

// --status [--json]: what the running app last read, from "usage.json", without running claude.
namespace StatusCommand {

// The text to print and the exit status: 0 fresh and good, 1 none, old or failed, 2
// unreadable (with the reason on standard error).
Report report(const UsageFile::File& file, Instant now, bool json);

// "updated 3m ago", or nothing before the first good reading.
QString age(const UsageFile::Snapshot& s, Instant now);

int run(const Options::Invocation& args);

} // namespace StatusCommand
