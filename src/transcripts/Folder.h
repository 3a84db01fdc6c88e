#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The transcripts on disk: which files there are, and the lines added to one since last time.
// Links are never followed inside the folder and nothing but regular files is opened, so a
// FIFO, a loop of links or a device never blocks or misleads a reading.
namespace Transcript {

// projects/<folder>/<session>.jsonl, and a sub-agent's projects/<folder>/<session>/subagents/
// <agent>.jsonl: nothing deeper is Claude Code's.
inline constexpr int kMaxDepth = 4;
// Files listed at most per folder of projects; past it, the rest waits and a problem says so.
inline constexpr qsizetype kMaxFiles = 200'000;
// A line longer than this is no reply: skipped unread to its end, whatever it holds.
inline constexpr qsizetype kMaxLine = 16 << 20;

struct FileId {
    quint64 device = 0, inode = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

struct Found {
    QString path;
    FileId id;
    qint64 size = 0;
};

struct Listing {
    QList<Found> files;
    std::optional<QString> problem; // why the folder can't be read (whole or in part)
};

// Every *.jsonl file under a projects folder. The folder itself may be a link (to a folder).
Listing list(const QString& projects);

struct Reading {
    qint64 end = 0;                 // the offset after the last complete line
    std::optional<QString> problem; // the file could not be read (its lines so far still count)
};

// Reads the complete lines from an offset on, handing each that holds kReplyMark to onLine;
// a last line not yet ended is left for next time. The file must still be the one listed.
Reading readFrom(const Found& file, qint64 from, const std::function<void(QByteArrayView)>& onLine);

} // namespace Transcript
