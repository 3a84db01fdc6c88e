#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Writing the app's files so that a reader never sees half of one and a failure says why.
namespace Files {

// Writes data to a new file beside path, then renames it over path: a reader sees the old
// file or the new one, never a mix, and a symbolic link at path is replaced, not followed.
// Returns why it could not be written; nothing on success.
std::optional<QString> write(const QString& path, const QByteArray& data, int mode = 0644);

// The two halves of write(), for a caller that checks something in between: data in a new
// file beside path, with its mode (and an owner, where the system allows it), flushed to the
// disk when asked; then renamed over path, or dropped.
struct Staged {
    QByteArray temp; // its name
    QString path;    // where it goes
};
struct Owner {
    unsigned uid, gid;
};
std::optional<QString> stage(Staged& out, const QString& path, const QByteArray& data, int mode,
                             std::optional<Owner> owner = {}, bool sync = false);
std::optional<QString> commit(const Staged& staged);
void drop(const Staged& staged);

// Writes data into an existing regular file itself, keeping its inode, owner and mode (not
// atomically). Returns why that could not be done; nothing on success.
std::optional<QString> writeInPlace(const QString& path, const QByteArray& data);

// What is at a path, links followed: nothing (a dangling link included), a regular file, or
// something else (a folder, a FIFO, a device).
enum class Kind { Missing, Regular, Other };
Kind kindOf(const QString& path);

// A regular file's first maxBytes, read without ever blocking on what is not one (a FIFO in
// its place): the bytes, or that there is nothing there, or why it cannot be read.
struct Read {
    QByteArray data;
    bool missing = false;
    std::optional<QString> problem;
};
Read readRegular(const QString& path, qint64 maxBytes);

// Makes the folder and the folders above it that are missing. Returns why that failed
// ("it is a file, not a folder", "/a/b is a file, not a folder", or the system's reason);
// nothing when the folder is there.
std::optional<QString> makeFolder(const QString& path);

} // namespace Files
