#include "LoginItem.h"

#include "files/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace LoginItem {

QString path() {
    return Paths::autostartEntry();
}

bool isEnabled() {
    // Anything at all, a dangling link included.
    struct stat st {};
    return ::lstat(QFile::encodeName(path()).constData(), &st) == 0;
}

QString execArgument(const QString& argument) {
    // Inside double quotes '"', '`', '$' and '\' take a backslash; '%' is doubled as a
    // field code escape. Then the value is escaped as a string, doubling every backslash.
    QString quoted = QStringLiteral("\"");
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    quoted += u'"';
    QString value;
    for (QChar c : quoted) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

QString entryText(const QString& executable) {
    const QString label = QString::fromLatin1(kLabel);
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Brimwatch\n"
                          "Comment=Claude Code plan usage in the system tray\n"
                          "Exec=") +
           execArgument(executable) +
           QStringLiteral("\n"
                          "Icon=brimwatch\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n"
                          "X-Brimwatch-Label=") +
           label + QStringLiteral("\nX-Brimwatch-Application=") + label + u'\n';
}

bool inBuildTree(const QString& executable) {
    for (QString dir = QFileInfo(executable).absolutePath();;) {
        if (QFile::exists(dir + QStringLiteral("/CMakeCache.txt")))
            return true;
        const QString up = QFileInfo(dir).path();
        if (up == dir)
            return false;
        dir = up;
    }
}

std::optional<QString> set(bool enabled) {
    const QString file = path();
    if (!enabled) {
        QFile entry(file);
        if (!isEnabled() || entry.remove() || !isEnabled())
            return std::nullopt;
        return file + QStringLiteral(": ") + entry.errorString();
    }
    const QString folder = QFileInfo(file).path();
    if (const auto problem = Files::makeFolder(folder))
        return folder + QStringLiteral(": ") + *problem;
    if (const auto problem =
            Files::write(file, entryText(QCoreApplication::applicationFilePath()).toUtf8()))
        return file + QStringLiteral(": ") + *problem;
    return std::nullopt;
}

} // namespace LoginItem
