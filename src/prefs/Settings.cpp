#include "Settings.h"

#include "platform/Diagnostics.h"
#include "platform/Files.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace Settings {

namespace {

constexpr qint64 kMaxSize = 1 << 20;

struct State {
    bool checked = false;
    std::optional<QString> problem;
    QVariantMap memory; // every value set this run; an invalid one marks a removal
};

State& state() {
    static State s;
    return s;
}

QSettings file() {
    return QSettings(path(), QSettings::IniFormat);
}

void fail(QString reason) {
    State& s = state();
    if (s.problem)
        return;
    s.problem = std::move(reason);
    Diagnostics::tellOnce(QStringLiteral("settings can't be saved: ") + *s.problem);
}

// A file that cannot be used at all is found before it is read.
State& checked() {
    State& s = state();
    if (s.checked)
        return s;
    s.checked = true;
    const QFileInfo info(path());
    if (info.isDir())
        fail(path() + QStringLiteral(" is a folder"));
    else if (info.size() > kMaxSize)
        fail(path() + QStringLiteral(" is over 1 MB, so Brimwatch leaves it alone"));
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

} // namespace

QString path() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Brimwatch/Brimwatch.conf");
}

QVariant value(const QString& key, const QVariant& fallback) {
    const State& s = checked();
    if (s.memory.contains(key)) {
        const QVariant v = s.memory.value(key);
        return v.isValid() ? v : fallback;
    }
    return s.problem ? fallback : file().value(key, fallback);
}

bool contains(const QString& key) {
    const State& s = checked();
    if (s.memory.contains(key))
        return s.memory.value(key).isValid();
    return !s.problem && file().contains(key);
}

void setValue(const QString& key, const QVariant& value) {
    State& s = checked();
    s.memory.insert(key, value);
    if (s.problem)
        return;
    QSettings settings = file();
    if (value.isValid())
        settings.setValue(key, value);
    else
        settings.remove(key);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        fail(whyNotWritten());
}

void remove(const QString& key) {
    setValue(key, QVariant());
}

QStringList keys(const QString& group) {
    const State& s = checked();
    QStringList out;
    if (!s.problem) {
        QSettings settings = file();
        settings.beginGroup(group);
        out = settings.childKeys();
    }
    const QString prefix = group + u'/';
    for (auto it = s.memory.begin(); it != s.memory.end(); ++it) {
        const QString key = it.key().mid(prefix.size());
        if (!it.key().startsWith(prefix) || key.contains(u'/'))
            continue;
        if (!it.value().isValid())
            out.removeAll(key);
        else if (!out.contains(key))
            out << key;
    }
    return out;
}

std::optional<QString> problem() {
    return checked().problem;
}

void reset() {
    state() = State{};
}

} // namespace Settings
