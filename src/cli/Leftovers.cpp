#include "Leftovers.h"

#include "ProcessGroup.h"
#include "files/Files.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QUuid>

#include <csignal>
#include <unistd.h>

namespace Leftovers {

namespace {

// Never destroyed: the sweeper's thread, which may outlive main(), forgets groups through it.
struct Recorded {
    QMutex mutex;
    QString file;
};
Recorded& recorded() {
    static auto* r = new Recorded;
    return *r;
}

// The fields of /proc/PID/stat after the command's name (which may hold spaces).
QStringList statOf(const QString& pid) {
    const Files::Read r =
        Files::readRegular(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"), 4096);
    const qsizetype end = r.data.lastIndexOf(')');
    return end < 0 ? QStringList() : QString::fromLatin1(r.data.mid(end + 2)).split(u' ');
}

} // namespace

void recordIn(const QString& f) {
    const QMutexLocker lock(&recorded().mutex);
    recorded().file = f;
}

QString file() {
    const QMutexLocker lock(&recorded().mutex);
    return recorded().file;
}

QString markName() {
    return QStringLiteral("BRIMWATCH_RUN");
}

QString mark() {
    static const QString m = QUuid::createUuid().toString(QUuid::Id128);
    return m;
}

std::optional<unsigned long long> startTime(pid_t pid) {
    const QStringList f = statOf(QString::number(pid));
    bool ok = false;
    const unsigned long long t = f.value(19).toULongLong(&ok); // field 22 of the whole line
    return ok ? std::optional(t) : std::nullopt;
}

void remember(pid_t group) {
    const QString f = file();
    const auto started = startTime(group);
    if (f.isEmpty() || !started)
        return;
    Files::write(f,
                 QByteArray::number(group) + ' ' + QByteArray::number(*started) + ' ' +
                     mark().toLatin1() + '\n',
                 0600);
}

void forget(pid_t group) {
    const QString f = file();
    if (f.isEmpty())
        return;
    const Files::Read r = Files::readRegular(f, 256);
    if (r.data.split(' ').value(0).toLongLong() == group)
        QFile::remove(f);
}

std::optional<pid_t> sweep() {
    const QString f = file();
    const Files::Read r = Files::readRegular(f, 256);
    QFile::remove(f);
    const QList<QByteArray> fields = r.data.trimmed().split(' ');
    const pid_t group = pid_t(fields.value(0).toLongLong());
    const unsigned long long started = fields.value(1).toULongLong();
    const QByteArray marked = markName().toLatin1() + '=' + fields.value(2);
    if (group <= 1 || started == 0 || fields.value(2).isEmpty() || !ProcessGroup::alive(group))
        return std::nullopt;
    if (const auto leader = startTime(group); leader && *leader != started)
        return std::nullopt; // a new group of that number
    bool any = false;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QStringList s = statOf(pid);
        if (s.value(2).toLongLong() != group || s.value(0) == u"Z")
            continue; // another group's, or a zombie, past harm
        const Files::Read env = Files::readRegular(
            QStringLiteral("/proc/") + pid + QStringLiteral("/environ"), 1 << 20);
        if (!env.data.split('\0').contains(marked))
            return std::nullopt; // not one the tool started
        any = true;
    }
    if (!any)
        return std::nullopt;
    ProcessGroup::signal(group, SIGKILL);
    return group;
}

} // namespace Leftovers
