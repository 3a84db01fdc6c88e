#include "TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace TestHome {

QString path() {
    return QDir::homePath();
}

void clear() {
    QDir home(path());
    for (const QFileInfo& entry : home.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isDir() && !entry.isSymLink()) {
            // Give back the bits a test may have taken away, or removal fails.
            ::chmod(QFile::encodeName(entry.filePath()).constData(), 0755);
            QDir(entry.filePath()).removeRecursively();
        } else {
            QFile::remove(entry.filePath());
        }
    }
}

QString write(const QString& relative, const QByteArray& content, int mode) {
    const QString file = path() + u'/' + relative;
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(content);
    f.close();
    ::chmod(QFile::encodeName(file).constData(), mode_t(mode));
    return file;
}

QString script(const QString& relative, const QByteArray& body) {
    return write(relative, "#!/bin/sh\n" + body, 0755);
}

QString read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace TestHome

bool waitUntil(int ms, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool claudeInstalledSystemWide() {
    return QFile::exists(QStringLiteral("/usr/local/bin/claude")) ||
           QFile::exists(QStringLiteral("/opt/homebrew/bin/claude")) ||
           !QStandardPaths::findExecutable(QStringLiteral("claude")).isEmpty();
}
