#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

// The user's settings file, $XDG_CONFIG_HOME/Brimwatch/Brimwatch.conf, used on the main
// thread. When it cannot be used (a folder in its place, a file over 1 MB, a write that
// fails), values live on in memory for the session, problem() says why, and standard error
// hears of it once. What is not a regular file (a FIFO, a device) or is that large is neither
// read nor written: it would stall the UI. A link to a regular file (as dotfile managers make)
// is written through: the target itself is written, keeping its inode, owner and mode.
namespace Settings {

QString path();

QVariant value(const QString& key, const QVariant& fallback = {});
bool contains(const QString& key);
void setValue(const QString& key, const QVariant& value);
void remove(const QString& key);
// Several values in one write; an invalid value removes its key.
void setValues(const QVariantMap& values);
// Replaces the keys of a group ("Alerts") with these, in one write.
void replaceGroup(const QString& group, const QVariantMap& values);
// The keys directly in a group ("Alerts"), without the group's name.
QStringList keys(const QString& group);

// Why settings cannot be saved, once that is known; why they cannot be read.
std::optional<QString> problem();
std::optional<QString> readProblem();

// Reads the file anew, after another process changed it. Values that could not be saved stay.
void reread();

// Forgets what this run has learned and kept in memory (for tests).
void reset();

// One change at a time to what is read, changed and written back whole (the accounts), by
// this process or another (the app, --add-account): held while it lives, after waiting up to
// `waitMs` for another holder. The file is read anew once it is held.
class Lock {
public:
    explicit Lock(int waitMs = 5000);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    bool held() const;
    // Why it is not held: another holder, or the folder can't be written.
    QString problem() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Settings
