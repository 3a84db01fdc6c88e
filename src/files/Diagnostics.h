#pragma once

#include <QString>

// The app keeps no log: a problem the person should know of is shown in the panel, and told
// once on standard error for whoever started the app from a terminal.
namespace Diagnostics {

// Writes "brimwatch: <text>" to standard error, the first time this text is told, or the
// first time anything is told about the same thing (a file whose problem may vary in detail).
void tellOnce(const QString& text, const QString& about = {});

} // namespace Diagnostics
