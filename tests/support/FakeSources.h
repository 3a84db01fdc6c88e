#pragma once

#include "store/UsageStore.h"

#include <QPointer>

#include <optional>

// Stands in for the tool and the version feed: records each request, answers when told.
struct FakeTool {
    int started = 0;
    UsageStore::ReadDone pending;

    auto reader() {
        return [this](QObject*, UsageStore::ReadDone done) {
            ++started;
            pending = std::move(done);
        };
    }
    bool busy() const { return bool(pending); }
    void answer(CLIResult result) {
        auto done = std::move(pending);
        pending = nullptr;
        done(std::move(result));
    }
};

struct FakeFeed {
    int requests = 0;
    UsageStore::VersionDone pending;

    auto checker() {
        return [this](QObject*, UsageStore::VersionDone done) {
            ++requests;
            pending = std::move(done);
        };
    }
    void answer(std::optional<QString> version) {
        auto done = std::move(pending);
        pending = nullptr;
        done(std::move(version));
    }
};
