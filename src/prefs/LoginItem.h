#pragma once

#include "files/Paths.h"

#include <QString>
#include <QStringList>

#include <optional>

// Open at login through an XDG autostart entry; the entry's existence is the whole state.
namespace LoginItem {

using Paths::kLabel;

// $XDG_CONFIG_HOME/autostart/com.velkorlab.brimwatch.desktop
QString path();

// Whether anything exists at path(); its content is not examined.
bool isEnabled();

// true writes the entry for the running executable, false removes it. Returns why that
// could not be done; nothing on success.
std::optional<QString> set(bool enabled);

// Whether an executable lies in a build tree (a CMakeCache.txt in a folder above it): a
// program that is not installed, and may be gone tomorrow, is not started at every login.
bool inBuildTree(const QString& executable);

// The entry that starts `executable` at login.
QString entryText(const QString& executable);

// One argument quoted for a desktop entry's Exec key, as the value is written in the file.
QString execArgument(const QString& argument);

} // namespace LoginItem
