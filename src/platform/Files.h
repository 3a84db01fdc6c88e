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

// Makes the folder and the folders above it that are missing. Returns why that failed
// ("it is a file, not a folder", "/a/b is a file, not a folder", or the system's reason);
// nothing when the folder is there.
std::optional<QString> makeFolder(const QString& path);

} // namespace Files
