// The usage block: its status line, its three bodies, and rows that keep their identity.

#include "store/UsageStore.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "support/StoreFixture.h"
#include "support/TestHome.h"
#include "support/TestTime.h"
#include "usage/Fmt.h"
#include "views/LimitRow.h"
#include "views/Palette.h"
#include "views/RefreshButton.h"
#include "views/TextLabel.h"
#include "views/Theme.h"
#include "views/UsageContent.h"
#include "views/WrapLabel.h"

#include <QLayout>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kThree = u"Current session: 82% used\nCurrent week (all models): 67% used\n"
                       "Current week (Fable): 96% used"_s;

class Content : public StoreFixture {
protected:
    enum class Body { Loading, Error, Rows };
    Body body(const UsageContent& c) {
        const bool error = !c.errorLabel()->isHidden(), loading = !c.loadingRow()->isHidden();
        const bool rows = !c.rows().isEmpty();
        EXPECT_EQ(int(error) + int(loading) + int(rows), 1);
        return error ? Body::Error : loading ? Body::Loading : Body::Rows;
    }
};

// Each row of the table drives a fresh store into one state.
struct StateCase {
    const char* name;
    bool loading;
    bool error;
    bool updated;
    bool limits;
    const char* status; // with "AGE" for the age text
    bool warn;
    int body; // 0 loading line, 1 error text, 2 rows
};

class StatusRows : public Content, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StatusRows, ShowTheirStatusColourAndBody) {
    const StateCase& c = GetParam();
    if (c.updated && !c.limits) {
        store->loadSample(u"no limits here"_s); // a last good time without limits
    } else if (c.limits) {
        read(kThree);
    }
    if (c.error)
        read(CLIError{u"Claude Code is logged out."_s});
    if (c.loading)
        store->refresh();
    UsageContent content(store.get());
    content.setPalette(Theme::light());
    const QString age =
        store->updatedAt() ? Fmt::ago(*store->updatedAt(), store->now()) : QString();
    EXPECT_EQ(content.statusLabel()->text(), QString::fromUtf8(c.status).replace(u"AGE"_s, age))
        << c.name;
    EXPECT_EQ(content.statusLabel()->color(),
              c.warn ? Palette::warn() : Theme::tone(Theme::light(), Theme::Tone::Secondary))
        << c.name;
    EXPECT_EQ(int(body(content)), c.body) << c.name;
    EXPECT_EQ(content.refreshButton()->isEnabled(), !c.loading) << c.name;
    if (c.body == 1) {
        EXPECT_EQ(content.errorLabel()->text(), u"Claude Code is logged out."_s);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusRows,
    ::testing::Values(
        StateCase{"loading, nothing", true, false, false, false, "Updating...", false, 0},
        StateCase{"nothing", false, false, false, false, "", false, 0},
        StateCase{"error only", false, true, false, false, "", false, 1},
        StateCase{"error, loading", true, true, false, false, "Updating...", false, 1},
        StateCase{"good", false, false, true, true, "Updated AGE", false, 2},
        StateCase{"good, loading", true, false, true, true, "Updating...", false, 2},
        StateCase{"failed over rows", false, true, true, true, "Update failed · AGE", true, 2},
        StateCase{"failed over rows, loading", true, true, true, true, "Updating...", true, 2},
        StateCase{"failed, no rows", false, true, true, false, "Update failed · AGE", false, 1}));

TEST_F(Content, RowsAreKeptByIdentityAnd14Apart) {
    read(kThree);
    UsageContent content(store.get());
    content.resize(268, content.heightForWidth(268));
    content.layout()->activate();
    const QList<LimitRow*> rows = content.rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0]->limit().title, u"Session"_s);
    EXPECT_EQ(rows[2]->limit().title, u"Week · Fable"_s);
    for (int i = 1; i < 3; ++i)
        EXPECT_EQ(rows[i]->geometry().top() - rows[i - 1]->geometry().bottom() - 1, 14);
    EXPECT_EQ(rows[0]->width(), 268);

    // New values: the same row objects, updated in place.
    read(u"Current session: 90% used\nCurrent week (all models): 70% used\n"
         "Current week (Fable): 97% used"_s);
    EXPECT_EQ(content.rows(), rows);
    EXPECT_EQ(rows[0]->percentShown(), u"90%"_s);

    // A label that goes takes its row; one that comes gets a new one, in the store's order.
    read(u"Current week (Opus): 5% used\nCurrent session: 91% used"_s);
    ASSERT_EQ(content.rows().size(), 2);
    EXPECT_EQ(content.rows()[1], rows[0]);
    EXPECT_EQ(content.rows()[0]->limit().title, u"Week · Opus"_s);
}

TEST_F(Content, TwelveRowsAtMostThenHowManyMore) {
    QString text;
    for (int i = 0; i < 15; ++i)
        text += u"Limit %1: %2% used\n"_s.arg(i).arg(i);
    read(text);
    UsageContent content(store.get());
    ASSERT_EQ(content.rows().size(), 12);
    EXPECT_EQ(content.rows().last()->limit().rawLabel, u"Limit 11"_s);
    EXPECT_FALSE(content.moreLabel()->isHidden());
    EXPECT_EQ(content.moreLabel()->text(), u"and 3 more"_s);
    read(u"Current session: 5% used"_s);
    EXPECT_TRUE(content.moreLabel()->isHidden());
}

TEST_F(Content, TheRefreshButtonRefreshes) {
    UsageContent content(store.get());
    EXPECT_EQ(content.refreshButton()->toolTip(), u"Refresh now"_s);
    content.refreshButton()->click();
    EXPECT_EQ(tool.started, 1);
    EXPECT_FALSE(content.refreshButton()->isEnabled());
    UsageContent card(store.get(), false);
    EXPECT_EQ(card.refreshButton(), nullptr);
    EXPECT_TRUE(card.findChildren<RefreshButton*>().isEmpty());
}

} // namespace
