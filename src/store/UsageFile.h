#pragma once

#include "usage/Limit.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// "usage.json": what the running app last read, written after every reading for status bars
// and scripts, and read back by --status and --waybar. Version 1 of its layout (see the
// README): the one place that writes it and the one place that reads it.
namespace UsageFile {

inline constexpr double kStale = 900;        // seconds without a good reading: stale
inline constexpr qsizetype kMaxLimits = 64;  // rows written: the file stays far under kMaxBytes
inline constexpr qint64 kMaxBytes = 1 << 20; // what a reader takes

// The file's contents.
// A project's share of a window's use, estimated from Claude Code's transcripts.
struct ProjectShare {
    QString name, path;
    double share = 0;                   // 0 to 1
    std::optional<double> limitPercent; // share × the limit's percentage, when it is known
    friend bool operator==(const ProjectShare&, const ProjectShare&) = default;
};
struct Projects {
    QList<ProjectShare> session, week; // largest first, at most five each
    friend bool operator==(const Projects&, const Projects&) = default;
};

struct Snapshot {
    std::optional<Instant> updatedAt; // the last good reading
    Instant checkedAt;                // the last attempt
    std::optional<QString> error;     // the last attempt's failure
    QList<Limit> limits;
    // Where the last good reading came from: "tool" or "statusline" (Claude Code's status
    // line). Files written before it was added say nothing, and mean "tool".
    QString source = QStringLiteral("tool");
    Projects projects{}; // "projects": what used the session and the week
};

// One account's part of the file: its name and config folder, and its own reading.
struct AccountSnapshot {
    QString name;
    QString configDir; // empty for the default account
    Snapshot reading;
};

// The file as found: its snapshot, or that there is none yet, or why it cannot be read.
struct File {
    std::optional<Snapshot> snapshot; // the tray account's
    QList<AccountSnapshot> accounts;  // each account's, in order; none in files from before
    bool missing = false;
    QString problem; // when it is there but cannot be read
    QByteArray json;
};

// Whether a snapshot is a good reading at most kStale old at now.
inline bool fresh(const Snapshot& s, Instant now) {
    return !s.error && s.updatedAt && secondsBetween(*s.updatedAt, now) <= kStale;
}

// The file's bytes, one line of compact JSON, with the first kMaxLimits limits of each
// reading (fewer, should that pass kMaxBytes): the tray account's reading at the top, and
// every account's in "accounts".
QByteArray encode(const Snapshot& s, const QList<AccountSnapshot>& accounts = {});

// The file as if it held only the account of that name (its reading at the top, and its
// bytes), or why it cannot be read so. No name: the file as it is.
File forAccount(File f, const std::optional<QString>& name);

// The file at now. A file of another layout, with a field of the wrong type, a percentage
// past 1000 or a time more than 5 minutes ahead cannot be read, and says why; a reset past
// what an instant here holds is read as none. Only a regular
// file is opened, without blocking.
File read(const QString& path, Instant now);

} // namespace UsageFile
