#pragma once

#include "Options.h"
#include "Output.h"
#include "usage/Instant.h"

// --history [--days N] [--csv]: the readings the app has kept, oldest first, as aligned
// columns or as CSV with a header line.
namespace HistoryCommand {

// "no history yet" (status 1) when there is no file, the reason on standard error (status 2)
// when it cannot be read. The file is opened read-only: nothing of it is changed or added.
Report text(const QString& file, int days, bool csv, Instant now);

int run(const Options::Invocation& args, int argc, char** argv);

} // namespace HistoryCommand
