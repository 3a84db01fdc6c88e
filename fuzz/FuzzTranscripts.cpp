// Arbitrary bytes as a transcript file of Claude Code: every line handed on holds the reply
// mark and no line end, the reading ends after the last whole line, a reply's counts make
// sense, and the shares of what was read add up to one.

#include "transcripts/Breakdown.h"
#include "transcripts/Folder.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path =
        QDir::tempPath() + QStringLiteral("/fuzz-transcript-%1.jsonl").arg(::getpid());
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return 0;
    f.close();
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    const Transcript::Found found{path, {quint64(st.st_dev), quint64(st.st_ino)}, st.st_size};
    QList<Transcript::Message> replies;
    const Transcript::Reading r = Transcript::readFrom(found, 0, [&](QByteArrayView line) {
        if (!line.contains(QByteArrayView(Transcript::kReplyMark)) || line.contains('\n'))
            std::abort();
        const Transcript::Line l = Transcript::read(line);
        if (l.kind != Transcript::Line::Kind::Reply)
            return;
        for (qint64 n :
             {l.message.input, l.message.output, l.message.cacheWrite, l.message.cacheRead})
            if (n < 0 || n > Transcript::kMaxTokens)
                std::abort();
        replies << l.message;
    });
    if (r.problem || r.end != bytes.lastIndexOf('\n') + 1)
        std::abort();
    const Transcript::Window all{QStringLiteral("all"), Instant::min(), Instant::max(), 50.0};
    double shares = 0, weight = 0;
    for (const Transcript::Row& row : Transcript::rows(replies, Transcript::By::Project, all)) {
        shares += row.share;
        weight += row.weight;
    }
    if (weight > 0 && std::abs(shares - 1) > 1e-9)
        std::abort();
    return 0;
}
