#pragma once

#include <QString>
#include <QUrl>

// The product's name, web site, version feed and running version.
namespace AppInfo {

QString name();
QUrl site();        // the product web site's root
QUrl versionFeed(); // its "/version.json"
QString version();  // the build's version, "1.0.0" when the build names none

} // namespace AppInfo
