#pragma once

#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>

// Reads a desktop entry the way a launcher does: the [Desktop Entry] group's keys with
// string escapes undone, and the Exec value split into its arguments.
namespace DesktopEntry {

inline QMap<QString, QString> read(const QString& path) {
    QMap<QString, QString> keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return keys;
    bool inGroup = false;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (line.startsWith(u'[')) {
            inGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inGroup || line.startsWith(u'#') || eq < 0)
            continue;
        QString value;
        const QString raw = line.mid(eq + 1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == u'\\' && i + 1 < raw.size()) {
                const QChar e = raw[++i];
                value += e == u'n'   ? u'\n'
                         : e == u't' ? u'\t'
                         : e == u'r' ? u'\r'
                         : e == u's' ? u' '
                                     : e;
            } else {
                value += raw[i];
            }
        }
        keys.insert(line.left(eq).trimmed(), value);
    }
    return keys;
}

// Splits an (unescaped) Exec value into arguments: double quotes group, a backslash
// inside them takes the next character literally, and "%%" is a literal "%".
inline QStringList execArguments(const QString& exec) {
    QStringList args;
    QString current;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted && c == u'\\' && i + 1 < exec.size()) {
            current += exec[++i];
        } else if (c == u'"') {
            quoted = !quoted;
            any = true;
        } else if (c == u'%' && i + 1 < exec.size() && exec[i + 1] == u'%') {
            current += u'%';
            ++i;
        } else if (c == u' ' && !quoted) {
            if (any || !current.isEmpty())
                args << current;
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty())
        args << current;
    return args;
}

} // namespace DesktopEntry
