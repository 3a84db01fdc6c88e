#pragma once

#include <QString>

#include <optional>
#include <sys/types.h>

// The tool's process group, written down while it runs, so that after the app was killed (a
// crash, a power cut, kill -9) its next start ends what the old one left running.
namespace Leftovers {

// Where the running tool's group is written down; empty, and nothing is written, until set.
void recordIn(const QString& file);
QString file();

// Writes the group down ("pgid starttime"), and crosses it out once it is gone.
void remember(pid_t group);
void forget(pid_t group);

// Ends the group the file names, if it is still the one written down (its leader started at
// that time, or, with the leader gone, only processes started after it are in the group), and
// removes the file. Returns the group it ended.
std::optional<pid_t> sweep();

// When a process started, in clock ticks since boot; none if there is no such process.
std::optional<unsigned long long> startTime(pid_t pid);

} // namespace Leftovers
