#pragma once

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
        d.read = tool.reader();
        d.latestVersion = feed.checker();
        return d;
    }

    // One whole reading: started, then answered.
    void read(CLIResult result) {
        store->refresh();
        ASSERT_TRUE(tool.busy());
        tool.answer(std::move(result));
    }

    ManualTime time{utc(2025, 10, 10, 20, 0)};
    FakeTool tool{time};
    FakeFeed feed;
    std::unique_ptr<UsageStore> store;
};
