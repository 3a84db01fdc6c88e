#pragma once

#include "store/HistoryDb.h"
#include "usage/Limit.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What the running app last wrote to "usage.json", for status bars and scripts: --status
// and --waybar read it and never start claude.
namespace Status {

inline constexpr double kStale = 900; // seconds without a good reading: stale

// The file's contents, read.
struct Snapshot {
    std::optional<Instant> updatedAt; // the last good reading
    Instant checkedAt;                // the last attempt
    std::optional<QString> error;     // the last attempt's failure
    QList<Limit> limits;
};

// The file as found: its snapshot, or that there is none yet, or why it cannot be read.
struct File {
    std::optional<Snapshot> snapshot;
    bool missing = false;
    QString problem; // when it is there but cannot be read
    QByteArray json;
};

QString usageFile(); // "usage.json" in the support folder
// The file at now. A file of another layout, with a field of the wrong type, a percentage
// past 1000 or a time more than 5 minutes ahead cannot be read, and says why. Only a regular
// file is opened, without blocking.
File read(const QString& path, Instant now);

// --status: the text to print, and the exit status (0 fresh and good, 1 none, old or failed,
// 2 unreadable, with the reason on standard error).
struct Report {
    QString out, err;
    int status;
};
Report status(const File& file, Instant now, bool json);

// --waybar: one line of JSON for a custom module: text, tooltip, percentage, class, alt.
QString waybar(const File& file, Instant now);

// --waybar --watch: a line now, another whenever the app writes a reading, and one every
// minute; ends when standard output closes. Returns the exit status.
int watchWaybar(const QString& path);

} // namespace Status

// --history [--days N] [--csv]: the readings the app has kept, oldest first, as aligned
// columns or as CSV with a header line.
namespace HistoryReport {
QString historyFile(); // "history.sqlite" in the support folder
// "no history yet" (status 1) when there is no file, the reason on standard error (status 2)
// when it cannot be read. The file is opened read-only: nothing of it is changed or added.
Status::Report text(const QString& file, int days, bool csv, Instant now);
} // namespace HistoryReport
