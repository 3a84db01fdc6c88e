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

inline void signal(const QProcess& p, int sig) {
    if (const qint64 pid = p.processId(); pid > 0)
        ::kill(-pid_t(pid), sig);
}

} // namespace ProcessGroup
