#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Editing a file that is the person's, not the app's (Claude Code's settings.json), so that
// nothing of theirs is lost whatever else writes it meanwhile. It is read once (a file read
// empty is read again a few times: an editor may be rewriting it); the new text goes into a
// file beside it with its mode and owner, and replaces it only if it is still what was read,
// else the edit starts again from what is there now. A backup is kept beside it when it had
// content. Through a link, the target is edited and the link stays.
namespace CarefulEdit {

inline constexpr qint64 kMaxBytes = 4 << 20; // larger is no settings file
inline constexpr int kTries = 3;             // edits started again after a change meanwhile

// What an edit makes of the file's bytes (exists: whether there is a file): true with the
// new bytes in `out`, or false to leave the file as it is.
using Edit = std::function<bool(const QByteArray& bytes, bool exists, QByteArray& out)>;

struct Result {
    enum class Outcome {
        Written,
        Left,         // the edit left it as it is
        Unreadable,   // not read: `why`
        DanglingLink, // a link to nothing: `why` names its target
        ReadOnly,     // can't or mustn't be written: `why`
        KeptChanging, // changed before every one of kTries renames
        NotWritten,   // a write failed: `why`
    } outcome;
    QString path;        // the file edited: a link's target
    QString why;         // what went wrong, when something did
    bool backup = false; // a backup was made (the file had content)
};

// `meanwhile` runs right before each check of the file (tests change the file there).
Result apply(const QString& path, const QString& backupSuffix, const Edit& edit,
             const std::function<void(int attempt)>& meanwhile = {});

} // namespace CarefulEdit
