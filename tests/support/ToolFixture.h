#pragma once

#include "cli/ClaudeCLI.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

// A fresh temporary home where the test decides which `claude` exists: the login shell
// finds nothing unless the test says otherwise.
class ToolFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (claudeInstalledSystemWide())
            GTEST_SKIP() << "a claude tool is installed on this machine";
        TestHome::clear();
        options.loginShell = TestHome::script(QStringLiteral("shells/none"), "exit 0\n");
    }

    ClaudeCLI::Options options;
};
