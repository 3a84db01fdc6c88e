#include "Files.h"
#include "Diagnostics.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

std::optional<QString> stage(Staged& out, const QString& path, const QByteArray& data, int mode,
                             std::optional<Owner> owner, bool sync) {
    const QFileInfo target(path);
    out = {QFile::encodeName(target.path() + QStringLiteral("/.") + target.fileName() +
                             QStringLiteral(".XXXXXX")),
           path};
    const int fd = ::mkstemp(out.temp.data());
    if (fd < 0)
        return systemReason(errno);
    int error = 0;
    if (::fchmod(fd, mode_t(mode)) != 0 || !writeAll(fd, data) || (sync && ::fsync(fd) != 0))
        error = errno ? errno : EIO;
    if (owner && (owner->uid != ::geteuid() || owner->gid != ::getegid()))
        (void)!::fchown(fd, owner->uid, owner->gid); // only root may: others own theirs
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error)
        return std::nullopt;
    drop(out);
    return systemReason(error);
}

std::optional<QString> commit(const Staged& staged) {
    if (::rename(staged.temp.constData(), QFile::encodeName(staged.path).constData()) == 0)
        return std::nullopt;
    const int error = errno;
    drop(staged);
    return systemReason(error);
}

void drop(const Staged& staged) {
    ::unlink(staged.temp.constData());
}

std::optional<QString> write(const QString& path, const QByteArray& data, int mode) {
    // No fsync: what matters is that readers never see half a file, and rename gives that.
    Staged staged;
    if (auto problem = stage(staged, path, data, mode))
        return problem;
    return commit(staged);
}

std::optional<QString> writeInPlace(const QString& path, const QByteArray& data) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return systemReason(errno);
    struct stat st {};
    std::optional<QString> problem;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        problem = QStringLiteral("it is not a regular file");
    else if (::ftruncate(fd, 0) != 0 || !writeAll(fd, data))
        problem = systemReason(errno ? errno : EIO);
    if (::close(fd) != 0 && !problem)
        problem = systemReason(errno);
    return problem;
}

Kind kindOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Kind::Missing : Kind::Other;
    return S_ISREG(st.st_mode) ? Kind::Regular : Kind::Other;
}

Read readRegular(const QString& path, qint64 maxBytes) {
    Read r;
    // Non-blocking: a FIFO opened for reading would otherwise wait for a writer for ever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        r.missing = errno == ENOENT;
        if (!r.missing)
            r.problem = systemReason(errno);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        r.problem = QStringLiteral("it is not a regular file");
    } else {
        // Read to the end, not to the size stat gives: files in /proc say 0, and a file being
        // written grows.
        char buf[16384];
        while (r.data.size() < maxBytes) {
            const ssize_t n =
                ::read(fd, buf, size_t(std::min<qint64>(sizeof buf, maxBytes - r.data.size())));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            r.data.append(buf, qsizetype(n));
        }
    }
    ::close(fd);
    return r;
}

std::optional<QString> makeFolder(const QString& path) {
    // Folder by folder from the top, so that the one in the way can be named.
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);
    QString at = path.startsWith(u'/') ? QString() : QStringLiteral(".");
    for (const QString& part : parts) {
        at += u'/' + part;
        const QByteArray native = QFile::encodeName(at);
        struct stat st {};
        if (::stat(native.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return (at == path ? QStringLiteral("it") : at) +
                       QStringLiteral(" is a file, not a folder");
            continue;
        }
        if (::mkdir(native.constData(), 0755) != 0 && errno != EEXIST)
            return systemReason(errno);
    }
    return std::nullopt;
}

} // namespace Files

namespace Diagnostics {

void tellOnce(const QString& text, const QString& about) {
    static QMutex mutex;
    static QSet<QString> told;
    const QMutexLocker lock(&mutex);
    const QString key = about.isEmpty() ? text : about;
    if (told.contains(key))
        return;
    told.insert(key);
    const QByteArray line = "brimwatch: " + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

} // namespace Diagnostics
