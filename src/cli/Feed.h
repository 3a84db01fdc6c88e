#pragma once

#include "Updates.h"

// The version feed over HTTP, in the process that calls it: the version-check helper.
namespace Updates {

struct FeedOptions {
    QUrl url = AppInfo::versionFeed();
    std::chrono::milliseconds timeout = kFeedTimeout;
    qint64 maxBytes = 64 * 1024; // a feed is a few bytes; refuse anything near a megabyte
};

// Fetches the feed; done(version) is called once on context's thread with the feed's
// "version" string, or with nothing on any failure. Nothing is called if context goes first.
void latest(QObject* context, std::function<void(std::optional<QString>)> done,
            FeedOptions options = {});

} // namespace Updates
