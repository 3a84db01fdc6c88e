#pragma once

#include "files/Paths.h"
#include "prefs/Settings.h"
#include "store/UsageStore.h"
#include "support/FakeSources.h"
#include "support/ManualTime.h"
#include "support/TestHome.h"
#include "support/TestTime.h"

#include <gtest/gtest.h>

// A store driven by hand in a fresh temporary home: time moves when the test says, and
// the tool and the version feed answer when told.
class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TestHome::clear();
        Settings::reset();
        store = std::make_unique<UsageStore>(deps());
    }

    UsageStore::Deps deps() {
        UsageStore::Deps d;
        d.time = &time;
        d.read = tool.source();
        d.latestVersion = feed.source();
        d.statusFile = Paths::statusTxt();
        d.usageFile = Paths::usageJson();
        return d;
    }

    // The tool's answer to the reading that runs, parsed at the clock's now.
    void answer(CLIResult result) {
        ToolRun run;
        run.result = std::move(result);
        tool.answer(Reading::of(run, time.now()));
    }
    // One whole reading: started, then answered.
    void read(CLIResult result) {
        store->refresh();
        ASSERT_TRUE(tool.busy());
        answer(std::move(result));
    }

    ManualTime time{utc(2025, 10, 10, 20, 0)};
    Fake<Reading> tool;
    Fake<std::optional<QString>> feed;
    std::unique_ptr<UsageStore> store;
};
