#pragma once

#include "AppInfo.h"

#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QObject;

// The version feed: is a newer release published?
namespace Updates {

struct FeedOptions {
    QUrl url = AppInfo::versionFeed();
    std::chrono::milliseconds timeout{15'000};
    qint64 maxBytes = 64 * 1024; // a feed is a few bytes; refuse anything near a megabyte
};

// Fetches the feed; done(version) is called once on context's thread with the feed's
// "version" string, or with nothing on any failure. Nothing is called if context goes first.
void latest(QObject* context, std::function<void(std::optional<QString>)> done,
            FeedOptions options = {});

// The same check run by a short-lived helper process (the version-check helper installed
// beside the app), so that TLS and the network stack never stay in the app's memory.
// Without the helper, the check runs in-process.
void latestInHelper(QObject* context, std::function<void(std::optional<QString>)> done,
                    const QString& helper, const QUrl& feed = AppInfo::versionFeed());

// Where the helper is: beside the running executable, or in the private folder it is
// installed in.
QString helperPath();

// True when candidate is strictly newer than current, comparing dotted numbers.
bool isNewer(const QString& candidate, const QString& current);

} // namespace Updates
