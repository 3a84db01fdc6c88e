#pragma once

#include "Options.h"
#include "store/UsageFile.h"

// --waybar [--watch]: "usage.json" as a line of JSON for a Waybar custom module.
namespace WaybarCommand {

// One line: text, tooltip, percentage, class and alt (normal, warn, danger, stale, error).
QString line(const UsageFile::File& file, Instant now);

// A line now, another whenever the app writes a reading, and one every minute; ends when
// standard output closes. Returns the exit status.
int watch(const QString& path, const std::optional<QString>& account = {});

int run(const Options::Invocation& args);

} // namespace WaybarCommand
