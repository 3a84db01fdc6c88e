#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The real executable, run as a terminal user runs it: no display, the test's home.
struct ProcessRun {
    int status; // -1 when it did not end normally
    QString out, err;
};

inline ProcessRun brimwatch(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* key : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(key));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(BRIMWATCH_EXE), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
