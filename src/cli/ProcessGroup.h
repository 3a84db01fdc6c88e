#pragma once

#include <QProcess>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

// Children that run in a process group of their own, so that a signal reaches
// whatever they started too.
namespace ProcessGroup {

inline void startOwnGroup(QProcess& p) {
    p.setChildProcessModifier([] { ::setpgid(0, 0); });
}

// The group is named by its leader's pid, and lives on while any member does.
inline void signal(pid_t group, int sig) {
    if (group > 0)
        ::kill(-group, sig);
}

inline void signal(const QProcess& p, int sig) {
    signal(pid_t(p.processId()), sig);
}

// Whether any process is left in the group.
inline bool alive(pid_t group) {
    return group > 0 && ::kill(-group, 0) == 0;
}

} // namespace ProcessGroup
