// `brimwatch --check` as a terminal user or a status bar runs it.

#include "support/QtPrinters.h"
#include "support/TestHome.h"
#include "usage/UsageParser.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class Check : public ::testing::Test {
protected:
    void SetUp() override {
        if (claudeInstalledSystemWide())
            GTEST_SKIP() << "a claude tool is installed on this machine";
        TestHome::clear();
    }

    std::pair<int, QString> check() {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, TestHome::path());
        env.remove(u"XDG_DATA_HOME"_s);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(BRIMWATCH_EXE), {u"--check"_s});
        p.waitForFinished(60000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
    }
};

TEST_F(Check, PrintsTheRowsOfAReading) {
    TestHome::script(u".local/bin/claude"_s,
                     "echo 'You are currently using your subscription'\n"
                     "echo\n"
                     "echo 'Current session: 82% used'\n"
                     "echo 'Current week (all models): 7.25% used · resets whenever'\n");
    const auto [status, out] = check();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out,
              u"Session | 82.0% | unparsed: -\nWeek · all models | 7.25% | unparsed: whenever\n"_s);
    // The tool ran in the support folder, and nothing was written there.
    const QDir support(TestHome::path() + u"/.local/share/Brimwatch"_s);
    EXPECT_TRUE(support.exists());
    EXPECT_TRUE(support.isEmpty());
}

TEST_F(Check, AnswersWithoutLimitsAreErrors) {
    const QString noPlan = QString::fromUtf16(UsageParser::kNoPlan);
    const struct {
        const char* name;
        QByteArray tool; // empty: no tool at all
        QString output;
    } cases[] = {
        {"logged out", "echo 'Not logged in · Please run /login'; exit 1\n",
         QString::fromUtf16(UsageParser::kLoggedOut)},
        {"no plan",
         "echo 'Total cost:            $0.0000'\n"
         "echo 'Total duration (API):  0s'\n"
         "echo 'Usage:                 0 input, 0 output, 0 cache read, 0 cache write'\n",
         noPlan},
        {"no tool", "",
         u"Claude Code is not installed on this computer. Install it from "
         "https://claude.com/product/claude-code, log in once, then press Refresh."_s},
    };
    for (const auto& c : cases) {
        TestHome::clear();
        if (!c.tool.isEmpty())
            TestHome::script(u".local/bin/claude"_s, c.tool);
        const auto [status, out] = check();
        EXPECT_EQ(status, 1) << c.name;
        EXPECT_EQ(out, u"error: "_s + c.output + u'\n') << c.name;
    }
}

} // namespace
