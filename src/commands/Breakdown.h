#pragma once

#include "Options.h"
#include "Output.h"
#include "transcripts/Breakdown.h"

// --breakdown [--window session|week|Nd] [--by project|model|session] [--json|--csv]
// [--account NAME]: what used a limit, from Claude Code's transcripts, largest first.
namespace BreakdownCommand {

enum class Format { Table, Json, Csv };

// The rows as a table, JSON or CSV: status 0 with rows, 1 without.
Report report(const QString& account, const Transcript::Window& window, Transcript::By by,
              Format format, const QList<Transcript::Row>& rows);

int run(const Options::Invocation& args, int argc, char** argv);

} // namespace BreakdownCommand
