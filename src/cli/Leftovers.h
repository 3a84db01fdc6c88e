#pragma once

#include <QString>

#include <optional>
#include <sys/types.h>

// The tool's process group, written down while it runs, so that after the app was killed (a
// crash, a power cut, kill -9) its next start ends what the old one left running. A record is
// only ever acted on when it still names what this app started: the leader's start time and
// a mark in the environment of every process of the group, which a group that merely reuses
// the number does not have.
namespace Leftovers {

// Where the running tool's group is written down; empty, and nothing is written, until set.
void recordIn(const QString& file);
QString file();

// The variable every tool run gets in its environment ("BRIMWATCH_RUN=<this app's mark>").
QString markName();
QString mark();

// Writes the group down ("pgid starttime mark"), and crosses it out once it is gone.
void remember(pid_t group);
void forget(pid_t group);

// Ends the group the file names if every one of its processes carries the mark written down
// and its leader, if still there, started at the time written down; removes the file either
// way. Returns the group it ended.
std::optional<pid_t> sweep();

// When a process started, in clock ticks since boot; none if there is no such process.
std::optional<unsigned long long> startTime(pid_t pid);

} // namespace Leftovers
