#pragma once

#include "store/UsageStore.h"

#include <QPointer>

#include <optional>

// Stands in for the tool and the version feed: records each request, answers when told.
struct FakeTool {
    explicit FakeTool(const TimeSource& time)
        : time(time) {}

    const TimeSource& time; // the tool's output is parsed at this clock's now
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
        ToolRun run;
        run.result = std::move(result);
        answer(Reading::of(run, time.now()));
    }
    void answer(Reading reading) {
        auto done = std::move(pending);
        pending = nullptr;
        done(std::move(reading));
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
