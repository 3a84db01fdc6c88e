#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Every test binary runs in a temporary home: HOME and the XDG folders point into it
// before anything reads them, and tests write real files there.
namespace TestHome {

QString path();

// Removes everything inside the home, keeping the folder itself.
void clear();

// Writes a file (folders created) and sets its permission bits; returns its path.
QString write(const QString& relative, const QByteArray& content, int mode = 0644);

// Writes "#!/bin/sh" + body as an executable script; returns its path.
QString script(const QString& relative, const QByteArray& body);

// A file's text, or nothing when it cannot be read.
QString read(const QString& path);

} // namespace TestHome

// Runs the event loop until done() holds or ms have passed; whether done() holds.
bool waitUntil(int ms, const std::function<bool()>& done);
inline void spin(int ms) { // runs the event loop for ms
    waitUntil(ms, [] { return false; });
}

// Whether a real claude tool sits in a system folder that the search always looks in;
// tests that need to control which tool is found skip then.
bool claudeInstalledSystemWide();
