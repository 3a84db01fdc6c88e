#pragma once

#include "store/Alerts.h"

#include <QHash>
#include <QObject>
#include <QPair>
#include <QSet>

#include <map>
#include <tuple>

class AccountStores;
class Notifications;
class Prefs;
class UsageStore;

// After each good reading, while "Notify near limits" is on: the notices the reading gives,
// sent as desktop notifications, one bubble per limit that each new notice replaces while it
// shows (and a new window closes). What was told is kept in the settings (group "Alerts": per
// limit title, the highest band and the reset instant of its window), so that a restart in the
// same window tells nothing twice. One per account: with several, notices name theirs first
// ("Work: session at 82%"), and the marks of each account but the default are kept in a group
// of its own ("Alerts/<its folder>").
class NearLimitAlerts : public QObject {
public:
    NearLimitAlerts(AccountStores* stores, UsageStore* store, Prefs* prefs,
                    Notifications* notifications, QObject* parent = nullptr);

    static Alerts::Marks load(const QString& group);
    static void save(const QString& group, const Alerts::Marks& marks);
    // The settings group of an account's marks.
    static QString groupOf(const QString& configDir);

private:
    void readingApplied();

    AccountStores* stores_;
    UsageStore* store_;
    Prefs* prefs_;
    Notifications* notifications_;
    static constexpr int kTries = 12; // a refused notice's tries, per band and window
    QHash<QString, uint> bubbles_;    // each limit's bubble on screen, by title
    std::map<std::tuple<QString, QString, int, qint64>, int> refused_; // by group, limit, band
                                                                       // and window
};
