#pragma once

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

// Children that run in a process group of their own, so that a signal reaches
// whatever they started too.
namespace ProcessGroup {

// In a group of its own, and killed when the thread that started it ends (even when the
// app is killed outright): a tool never outlives the app that asked for it.
inline void startOwnGroup(QProcess& p) {
    const pid_t parent = ::getpid();
    p.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) // the app went before the line above
            ::_exit(127);
    });
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
