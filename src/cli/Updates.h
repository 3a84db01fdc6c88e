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

// How long the feed may take to answer.
constexpr std::chrono::milliseconds kFeedTimeout{15'000};

// Fetches the feed in a short-lived helper process (the version-check helper installed
// beside the app), so that TLS and the network stack never enter the app's memory:
// done(version) as for Updates::latest. Without the helper, done(nothing).
void latestInHelper(QObject* context, std::function<void(std::optional<QString>)> done,
                    const QString& helper, const QUrl& feed = AppInfo::versionFeed());

// Where the helper is: beside the running executable, or in the private folder it is
// installed in.
QString helperPath();

// True when candidate is strictly newer than current, comparing dotted numbers.
bool isNewer(const QString& candidate, const QString& current);

} // namespace Updates
