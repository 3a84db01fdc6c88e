#include "Feed.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace Updates {

namespace {

std::optional<QString> versionIn(QNetworkReply* reply, qint64 maxBytes) {
    if (reply->error() != QNetworkReply::NoError)
        return std::nullopt;
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return std::nullopt;
    const QByteArray body = reply->readAll();
    if (body.size() > maxBytes)
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (!doc.isObject())
        return std::nullopt;
    const QJsonValue version = doc.object().value(QStringLiteral("version"));
    if (!version.isString())
        return std::nullopt;
    return version.toString();
}

} // namespace

void latest(QObject* context, std::function<void(std::optional<QString>)> done,
            FeedOptions options) {
    // The manager belongs to context: if context goes, the request goes with it.
    auto* manager = new QNetworkAccessManager(context);
    // The manager has no cache, so every check asks the server; a cache-control header
    // would only be one more header than the feed's description names.
    QNetworkRequest request(options.url);
    request.setTransferTimeout(int(options.timeout.count()));
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Brimwatch/") + AppInfo::version());
    QNetworkReply* reply = manager->get(request);
    const qint64 maxBytes = options.maxBytes;
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, maxBytes](qint64 received, qint64 total) {
                         if (received > maxBytes || total > maxBytes)
                             reply->abort();
                     });
    QObject::connect(reply, &QNetworkReply::finished, manager,
                     [manager, reply, maxBytes, done = std::move(done)] {
                         const std::optional<QString> version = versionIn(reply, maxBytes);
                         manager->deleteLater();
                         done(version);
                     });
}

} // namespace Updates
