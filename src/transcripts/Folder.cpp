#include "Folder.h"

#include "Line.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Transcript {

namespace {

constexpr qsizetype kChunk = 1 << 20; // bytes read at a time

QString why(const QString& path) {
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

qsizetype lastNewline(const char* data, qsizetype size) {
    const void* at = ::memrchr(data, '\n', size_t(size));
    return at ? static_cast<const char*>(at) - data : -1;
}

// Entries by their folder's descriptor, never through a link: lstat's view of each.
void walk(int dir, const QString& path, int depth, Listing& out) {
    DIR* d = ::fdopendir(dir);
    if (!d) {
        ::close(dir);
        return;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (out.files.size() >= kMaxFiles) {
            out.problem =
                QStringLiteral("over %1 transcript files: the rest are left out").arg(kMaxFiles);
            break;
        }
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        const QString child = path + u'/' + QFile::decodeName(e->d_name);
        if (S_ISDIR(st.st_mode) && depth < kMaxDepth - 1) {
            const int sub =
                ::openat(::dirfd(d), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                walk(sub, child, depth + 1, out);
        } else if (S_ISREG(st.st_mode) && name.ends_with(".jsonl")) {
            out.files.append({child, {quint64(st.st_dev), quint64(st.st_ino)}, qint64(st.st_size)});
        }
    }
    ::closedir(d);
}

} // namespace

Listing list(const QString& projects) {
    Listing out;
    struct stat st {};
    if (::stat(QFile::encodeName(projects).constData(), &st) != 0) {
        if (errno != ENOENT) // no transcripts yet is no problem
            out.problem = why(projects);
        return out;
    }
    if (!S_ISDIR(st.st_mode)) {
        out.problem = projects + QStringLiteral(" is not a folder");
        return out;
    }
    if (::access(QFile::encodeName(projects).constData(), R_OK | X_OK) != 0) {
        out.problem = why(projects);
        return out;
    }
    const int dir =
        ::open(QFile::encodeName(projects).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        out.problem = why(projects);
    else
        walk(dir, projects, 0, out);
    return out;
}

Reading readFrom(const Found& file, qint64 from,
                 const std::function<void(QByteArrayView)>& onLine) {
    Reading r{from, {}};
    const int fd = ::open(QFile::encodeName(file.path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        r.problem = why(file.path);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        FileId{quint64(st.st_dev), quint64(st.st_ino)} != file.id) {
        ::close(fd);
        r.problem = file.path + QStringLiteral(" changed while it was read");
        return r;
    }
    const std::string_view mark = kReplyMark;
    QByteArray buffer;
    qint64 at = from;      // the file's offset of buffer[0]
    bool skipping = false; // inside a line past kMaxLine: everything up to its end is dropped
    for (;;) {
        const qsizetype had = buffer.size();
        buffer.resize(had + kChunk);
        const ssize_t n = ::pread(fd, buffer.data() + had, size_t(kChunk), at + had);
        if (n < 0 && errno == EINTR) {
            buffer.resize(had);
            continue;
        }
        if (n < 0)
            r.problem = why(file.path);
        buffer.resize(had + std::max<ssize_t>(n, 0));
        if (n <= 0)
            break;
        const qsizetype last = lastNewline(buffer.constData(), buffer.size());
        if (last < 0) {
            if (buffer.size() > kMaxLine) { // drop it, and the rest of it when it comes
                at += buffer.size();
                buffer.clear();
                skipping = true;
            }
            continue;
        }
        const char* data = buffer.constData();
        qsizetype start = 0;
        if (skipping) { // the end of the long line
            start = buffer.indexOf('\n') + 1;
            skipping = false;
        }
        // Only the lines that hold the mark are looked at, found by searching the whole
        // chunk: most bytes (file contents in user lines) are never touched twice.
        while (start <= last) {
            const void* hit =
                ::memmem(data + start, size_t(last - start), mark.data(), mark.size());
            if (!hit)
                break;
            const qsizetype h = static_cast<const char*>(hit) - data;
            const qsizetype lineStart = std::max(lastNewline(data, h) + 1, start);
            const qsizetype lineEnd = buffer.indexOf('\n', h);
            if (lineEnd - lineStart <= kMaxLine)
                onLine(QByteArrayView(data + lineStart, lineEnd - lineStart));
            start = lineEnd + 1;
        }
        at += last + 1;
        r.end = at;
        buffer.remove(0, last + 1);
    }
    ::close(fd);
    return r;
}

} // namespace Transcript
