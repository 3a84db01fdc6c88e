#pragma once

#include "Output.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// --statusline --install / --uninstall: Brimwatch as Claude Code's status-line command, in
// Claude Code's settings.json. The file is edited as text, so that every other key keeps its
// place and its spacing; uninstall takes out exactly what install put in.
namespace StatusLineSetup {

// An edit of the file's text.
struct Edit {
    enum class Kind { Changed, Unchanged, Refused } kind = Kind::Unchanged;
    QByteArray text; // the new file, when changed
    QString message; // what to tell the person
};

// The edits, for a file's text (exists: whether there is a file at all) and the command.
Edit installed(const QByteArray& text, bool exists, const QString& command);
Edit uninstalled(const QByteArray& text, bool exists, const QString& command);

// The command Claude Code is to run: this executable's absolute path, quoted for the shell
// when it needs to be, and " --statusline".
QString command();
QString commandFor(const QString& executable);

// The build tree (the folder holding CMakeCache.txt) the executable lies in, if any: a status
// line pointing there breaks once the tree is moved or cleaned.
std::optional<QString> buildTree(const QString& executable);
// What --install says instead of installing from a build tree without --force.
QString fromBuildTree(const QString& tree);

// $CLAUDE_CONFIG_DIR/settings.json, or ~/.claude/settings.json when that is not set.
QString settingsPath();

// The edits made on the real file, the person's own settings, with the care of CarefulEdit:
// nothing of theirs lost to an editor saving meanwhile, a link or a read-only file. A dangling
// link, a file that can't be written and statusLine set twice are refused, with what to paste
// by hand. `meanwhile` runs right before each check (tests change the file there).
Report install(const QString& command, const std::function<void(int attempt)>& meanwhile = {});
Report uninstall(const QString& command, const std::function<void(int attempt)>& meanwhile = {});

} // namespace StatusLineSetup
