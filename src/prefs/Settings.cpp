#include "Settings.h"

#include "files/Diagnostics.h"
#include "files/Files.h"
#include "files/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <memory>

namespace Settings {

namespace {

constexpr qint64 kMaxSize = 1 << 20;

struct State {
    bool checked = false;
    std::optional<QString> unreadable; // why the file is not read: values are the defaults
    std::optional<QString> problem;    // why it is not written: values live in memory
    QVariantMap memory;                // every value set this run; an invalid one marks a removal
    // A link to a regular file (a dotfile manager's): QSettings works on a copy, which is then
    // written into the target itself, so that the target keeps its inode, owner and mode.
    QString target;
    std::unique_ptr<QTemporaryFile> copy;
};

State& state() {
    static State s;
    return s;
}

QSettings file() {
    const State& s = state();
    return QSettings(s.copy ? s.copy->fileName() : path(), QSettings::IniFormat);
}

void fail(QString reason) {
    State& s = state();
    if (s.problem)
        return;
    s.problem = std::move(reason);
    Diagnostics::tellOnce(QStringLiteral("settings can't be saved: ") + *s.problem);
}

void unreadable(QString reason) {
    State& s = state();
    Diagnostics::tellOnce(QStringLiteral("settings can't be read: ") + reason);
    s.unreadable = reason;
    s.problem = std::move(reason); // what cannot be read is not written over either
}

// Reads the link's target into a private copy for QSettings.
void followLink(State& s) {
    const Files::Read r = Files::readRegular(s.target, kMaxSize + 1);
    if (r.problem || r.data.size() > kMaxSize)
        return unreadable(path() + QStringLiteral(" leads to ") + s.target + QStringLiteral(": ") +
                          r.problem.value_or(QStringLiteral("a file over 1 MB")));
    s.copy = std::make_unique<QTemporaryFile>();
    if (!s.copy->open() || s.copy->write(r.data) != r.data.size() || !s.copy->flush()) {
        s.copy.reset();
        return unreadable(QStringLiteral("no room for a working copy of ") + path());
    }
    s.copy->close();
}

// A file that cannot be used at all is found before anything reads it: QSettings would wait
// for ever on a FIFO, and take a second or more on a huge file.
State& checked() {
    State& s = state();
    if (s.checked)
        return s;
    s.checked = true;
    const QFileInfo info(path());
    if (info.isSymLink()) {
        s.target = info.symLinkTarget();
        switch (Files::kindOf(path())) {
        case Files::Kind::Regular:
            followLink(s);
            break;
        case Files::Kind::Missing:
            fail(path() + QStringLiteral(" is a link to nothing"));
            break;
        case Files::Kind::Other:
            unreadable(path() + QStringLiteral(" leads to ") + s.target +
                       QStringLiteral(", which is not a regular file"));
            break;
        }
    } else if (info.isDir()) {
        fail(path() + QStringLiteral(" is a folder"));
    } else if (info.exists() && !info.isFile()) {
        unreadable(path() + QStringLiteral(" is not a regular file"));
    } else if (info.size() > kMaxSize) {
        unreadable(path() + QStringLiteral(" is over 1 MB, so Brimwatch leaves it alone"));
    }
    return s;
}

// QSettings only says that a write failed; find out why.
QString whyNotWritten() {
    if (QFileInfo(path()).isDir())
        return path() + QStringLiteral(" is a folder");
    const QString folder = QFileInfo(path()).path();
    if (auto problem = Files::makeFolder(folder))
        return *problem;
    const QString probe = folder + QStringLiteral("/.Brimwatch.probe");
    if (auto problem = Files::write(probe, {}))
        return folder + QStringLiteral(": ") + *problem;
    QFile::remove(probe);
    return path() + QStringLiteral(" could not be written");
}

// Writes the values in one go.
void store(const QVariantMap& values) {
    State& s = checked();
    for (auto it = values.begin(); it != values.end(); ++it)
        s.memory.insert(it.key(), it.value());
    if (s.problem)
        return;
    QSettings settings = file();
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (it->isValid())
            settings.setValue(it.key(), *it);
        else
            settings.remove(it.key());
    }
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return fail(whyNotWritten());
    if (!s.copy)
        return;
    QFile copy(s.copy->fileName());
    if (!copy.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("its working copy could not be read"));
    if (const auto problem = Files::writeInPlace(s.target, copy.readAll()))
        fail(s.target + QStringLiteral(": ") + *problem);
}

} // namespace

QString path() {
    return Paths::settingsFile();
}

QVariant value(const QString& key, const QVariant& fallback) {
    const State& s = checked();
    if (s.memory.contains(key)) {
        const QVariant v = s.memory.value(key);
        return v.isValid() ? v : fallback;
    }
    return s.unreadable ? fallback : file().value(key, fallback);
}

bool contains(const QString& key) {
    const State& s = checked();
    if (s.memory.contains(key))
        return s.memory.value(key).isValid();
    return !s.unreadable && file().contains(key);
}

void setValue(const QString& key, const QVariant& value) {
    store({{key, value}});
}

void remove(const QString& key) {
    setValue(key, QVariant());
}

void setValues(const QVariantMap& values) {
    store(values);
}

void replaceGroup(const QString& group, const QVariantMap& values) {
    QVariantMap all;
    for (const QString& key : keys(group))
        all.insert(group + u'/' + key, QVariant());
    for (auto it = values.begin(); it != values.end(); ++it)
        all.insert(group + u'/' + it.key(), it.value());
    store(all);
}

QStringList keys(const QString& group) {
    const State& s = checked();
    QStringList out;
    if (!s.unreadable) {
        QSettings settings = file();
        settings.beginGroup(group);
        out = settings.childKeys();
    }
    // A set, not list lookups: a group may hold a thousand keys.
    QSet<QString> seen(out.begin(), out.end());
    const QString prefix = group + u'/';
    for (auto it = s.memory.begin(); it != s.memory.end(); ++it) {
        const QString key = it.key().mid(prefix.size());
        if (!it.key().startsWith(prefix) || key.contains(u'/'))
            continue;
        if (!it.value().isValid())
            seen.remove(key);
        else
            seen.insert(key);
    }
    if (!s.memory.isEmpty()) {
        out.removeIf([&](const QString& key) { return !seen.contains(key); });
        for (const QString& key : std::as_const(out))
            seen.remove(key);
        out.append(QStringList(seen.begin(), seen.end()));
    }
    return out;
}

std::optional<QString> problem() {
    return checked().problem;
}

std::optional<QString> readProblem() {
    return checked().unreadable;
}

void reread() {
    // While the file can be written, memory holds only what the file holds too.
    if (!state().problem)
        reset();
}

void reset() {
    state() = State{};
}

struct Lock::Impl {
    // Not the file's name with ".lock": QSettings takes that one itself while it writes.
    QLockFile file{path() + QStringLiteral(".change-lock")};
};

Lock::Lock(int waitMs)
    : impl_(std::make_unique<Impl>()) {
    Files::makeFolder(QFileInfo(path()).path());
    if (impl_->file.tryLock(waitMs))
        reread();
}

Lock::~Lock() = default;

bool Lock::held() const {
    return impl_->file.isLocked();
}

QString Lock::problem() const {
    if (impl_->file.error() == QLockFile::LockFailedError)
        return QStringLiteral("Another Brimwatch is changing the settings: try again in a moment.");
    return QStringLiteral("The settings can't be changed: %1 can't be written.")
        .arg(QFileInfo(path()).path());
}

} // namespace Settings
