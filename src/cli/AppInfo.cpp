#include "AppInfo.h"

namespace AppInfo {

QString name() {
    return QStringLiteral("Brimwatch");
}

QUrl site() {
    static const QUrl url(QStringLiteral("https://brimwatch.velkorlab.com/"));
    return url;
}

QUrl versionFeed() {
    static const QUrl url = site().resolved(QUrl(QStringLiteral("/version.json")));
    return url;
}

QString version() {
#ifdef BRIMWATCH_VERSION
    const QString v = QStringLiteral(BRIMWATCH_VERSION);
    if (!v.isEmpty())
        return v;
#endif
    return QStringLiteral("1.0.0");
}

} // namespace AppInfo
