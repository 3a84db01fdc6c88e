#include "CarefulEdit.h"

#include "Files.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace CarefulEdit {

namespace {

constexpr int kEmptyReads = 5;  // a file read empty is read again this often,
constexpr int kEmptyWait = 100; // this many ms apart: it may be being rewritten

// The file as read, and what tells whether it is still that file.
struct Seen {
    Files::Read read;
    struct stat st {};
    bool exists = false;
};

Seen look(const QString& path) {
    Seen s;
    for (int i = 0;; ++i) {
        s.exists = ::stat(QFile::encodeName(path).constData(), &s.st) == 0;
        s.read = Files::readRegular(path, kMaxBytes + 1);
        // An editor saving in place truncates first: empty is only believed when it stays so.
        if (!s.exists || s.read.problem || !s.read.data.isEmpty() || i + 1 == kEmptyReads)
            return s;
        ::usleep(kEmptyWait * 1000);
    }
}

bool same(const Seen& a, const Seen& b) {
    return a.exists == b.exists && a.read.data == b.read.data &&
           (!a.exists ||
            (a.st.st_ino == b.st.st_ino && a.st.st_dev == b.st.st_dev &&
             a.st.st_size == b.st.st_size && a.st.st_mtim.tv_sec == b.st.st_mtim.tv_sec &&
             a.st.st_mtim.tv_nsec == b.st.st_mtim.tv_nsec));
}

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

Result apply(const QString& file, const QString& backupSuffix, const Edit& edit,
             const std::function<void(int)>& meanwhile) {
    using O = Result::Outcome;
    QString path = file;
    const QFileInfo link(path);
    if (link.isSymLink()) {
        if (!QFileInfo::exists(path))
            return {O::DanglingLink, path, link.symLinkTarget()};
        path = link.canonicalFilePath();
    }
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        const Seen was = look(path);
        const Files::Read& r = was.read;
        if (r.problem || r.data.size() > kMaxBytes)
            return {O::Unreadable, path, r.problem.value_or(QStringLiteral("it is over 4 MB"))};
        QByteArray text;
        if (!edit(r.data, !r.missing, text))
            return {O::Left, path, {}};
        if (was.exists && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
            return {O::ReadOnly, path, systemReason()};
        if (was.exists && !(was.st.st_mode & S_IWUSR))
            return {O::ReadOnly, path, QStringLiteral("it is read-only")};
        const int mode = was.exists ? int(was.st.st_mode & 07777) : 0600;
        std::optional<QString> problem = Files::makeFolder(QFileInfo(path).path());
        if (!problem && !r.data.isEmpty())
            problem = Files::write(path + backupSuffix, r.data, mode);
        Files::Staged staged;
        if (!problem)
            problem =
                Files::stage(staged, path, text, mode,
                             was.exists ? std::optional(Files::Owner{was.st.st_uid, was.st.st_gid})
                                        : std::nullopt,
                             true);
        if (problem)
            return {O::NotWritten, path, *problem};
        if (meanwhile)
            meanwhile(attempt);
        // Right before the rename: still the file that was read, or start again from the new.
        if (!same(was, look(path))) {
            Files::drop(staged);
            continue;
        }
        if (const auto failed = Files::commit(staged))
            return {O::NotWritten, path, *failed};
        return {O::Written, path, {}, !r.data.isEmpty()};
    }
    return {O::KeptChanging, path, {}};
}

} // namespace CarefulEdit
