#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// The user's settings file, $XDG_CONFIG_HOME/Brimwatch/Brimwatch.conf, used on the main
// thread. When it cannot be used (a folder in its place, a file over 1 MB, a write that
// fails), values live on in memory for the session, problem() says why, and standard error
// hears of it once. A file that large is neither read nor written: it would stall the UI.
namespace Settings {

QString path();

QVariant value(const QString& key, const QVariant& fallback = {});
bool contains(const QString& key);
void setValue(const QString& key, const QVariant& value);
void remove(const QString& key);
// The keys directly in a group ("Alerts"), without the group's name.
QStringList keys(const QString& group);

// Why settings cannot be saved, once that is known.
std::optional<QString> problem();

// Forgets what this run has learned and kept in memory (for tests).
void reset();

} // namespace Settings
