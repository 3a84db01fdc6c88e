#pragma once

#include <QByteArray>
#include <QString>

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

} // namespace TestHome

// Whether a real claude tool sits in a system folder that the search always looks in;
// tests that need to control which tool is found skip then.
bool claudeInstalledSystemWide();
