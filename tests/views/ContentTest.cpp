// The usage block: its status line, its three bodies, rows that keep their identity, and
// the pace they show.

#include "store/History.h"
#include "store/UsageStore.h"
#include "support/StoreFixture.h"
#include "support/Table.h"
#include "usage/Fmt.h"
#include "views/Bar.h"
#include "views/HistoryView.h"
#include "views/LimitRow.h"
#include "views/Palette.h"
#include "views/RefreshButton.h"
#include "views/TextLabel.h"
#include "views/Theme.h"
#include "views/UsageContent.h"
#include "views/WrapLabel.h"

#include <QLayout>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QString kThree = u"Current session: 82% used\nCurrent week (all models): 67% used\n"
                       "Current week (Fable): 96% used"_s;

class Content : public StoreFixture {
protected:
    // The titles of the rows in the order they are drawn, top to bottom.
    static QStringList drawn(UsageContent& content) {
        content.resize(268, content.heightForWidth(268));
        content.layout()->activate();
        QList<LimitRow*> rows = content.rows();
        std::sort(rows.begin(), rows.end(),
                  [](LimitRow* a, LimitRow* b) { return a->y() < b->y(); });
        QStringList titles;
        for (LimitRow* r : rows)
            titles << r->limit().title;
        return titles;
    }
};

// "loading error updated limits" in (the state a store was driven into), "status | colour |
// body" out.
TEST_F(Content, StatusColourAndBodyOfEachState) {
    const Row rows[] = {
        {"loading", "Updating... | secondary | loading"},
        {"", " | secondary | loading"},
        {"error", " | secondary | error"},
        {"loading error", "Updating... | secondary | error"},
        {"limits", "Updated 2m ago | secondary | rows"},
        {"loading limits", "Updating... | secondary | rows"},
        {"error limits", "Update failed · 2m ago | warn | rows"},
        {"loading error limits", "Updating... | warn | rows"},
        {"error updated", "Update failed · 2m ago | secondary | error"},
    };
    checkTable(rows, [&](const QString& state) {
        store = std::make_unique<UsageStore>(deps());
        if (state.contains(u"limits"))
            store->loadSample(kThree);
        else if (state.contains(u"updated"))
            store->loadSample(u"no limits here"_s); // a last good time without limits
        if (state.contains(u"error"))
            read(CLIError{u"Claude Code is logged out."_s});
        if (state.contains(u"loading"))
            store->refresh();
        UsageContent content(store.get());
        content.setPalette(Theme::light());
        EXPECT_EQ(content.refreshButton()->isEnabled(), !store->isLoading());
        const QString body = !content.errorLabel()->isHidden()   ? u"error"_s
                             : !content.loadingRow()->isHidden() ? u"loading"_s
                             : !content.rows().isEmpty()         ? u"rows"_s
                                                                 : u"nothing"_s;
        const bool warn =
            content.statusLabel()->color() == Theme::tone(Theme::light(), Theme::Tone::Warn);
        return content.statusLabel()->text() + (warn ? u" | warn | "_s : u" | secondary | "_s) +
               body;
    });
}

TEST_F(Content, RowsKeepTheirIdentityAndAreDrawnInTheToolsOrder14Apart) {
    read(kThree);
    UsageContent content(store.get());
    EXPECT_EQ(drawn(content),
              (QStringList{u"Session"_s, u"Week · all models"_s, u"Week · Fable"_s}));
    const QList<LimitRow*> rows = content.rows();
    for (int i = 1; i < 3; ++i)
        EXPECT_EQ(rows[i]->geometry().top() - rows[i - 1]->geometry().bottom() - 1, 14);

    // New values: the same rows, updated in place.
    read(u"Current session: 90% used\nCurrent week (all models): 70% used\n"
         "Current week (Fable): 97% used"_s);
    EXPECT_EQ(content.rows(), rows);
    EXPECT_EQ(rows[0]->percentShown(), u"90%"_s);

    // A limit that goes takes its row; one that comes gets a row where the tool puts it.
    read(u"Current session: 91% used\nCurrent week (Opus): 5% used\n"
         "Current week (Fable): 97% used"_s);
    EXPECT_EQ(drawn(content), (QStringList{u"Session"_s, u"Week · Opus"_s, u"Week · Fable"_s}));
    EXPECT_EQ(content.rows()[0], rows[0]);
}

TEST_F(Content, TwelveRowsAtMostThenHowManyMore) {
    QString text;
    for (int i = 0; i < 15; ++i)
        text += u"Limit %1: %2% used\n"_s.arg(i).arg(i);
    read(text);
    UsageContent content(store.get());
    ASSERT_EQ(content.rows().size(), 12);
    EXPECT_EQ(content.rows().last()->limit().rawLabel, u"Limit 11"_s);
    EXPECT_EQ(content.moreLabel()->text(), u"and 3 more"_s);
    EXPECT_FALSE(content.moreLabel()->isHidden());
    read(u"Current session: 5% used"_s);
    EXPECT_TRUE(content.moreLabel()->isHidden());
}

TEST_F(Content, TheRefreshButtonRefreshesAndTheCardHasNone) {
    UsageContent content(store.get());
    EXPECT_EQ(content.refreshButton()->toolTip(), u"Refresh now"_s);
    content.refreshButton()->click();
    EXPECT_EQ(tool.requests, 1);
    UsageContent card(store.get(), false);
    EXPECT_EQ(card.refreshButton(), nullptr);
}

// After a status line's reading, the panel says where the rows came from; the card does not,
// and a run of the tool takes the line away.
TEST_F(Content, ThePanelSaysWhenTheRowsCameFromClaudeCode) {
    UsageContent panel(store.get()), card(store.get(), false);
    panel.show();
    card.show();
    store->report({StatusLine::Window{40, time.now() + 3600}, std::nullopt});
    EXPECT_TRUE(panel.sourceLabel()->isVisible());
    EXPECT_FALSE(card.sourceLabel()->isVisible());
    read(u"Current session: 41% used"_s);
    EXPECT_FALSE(panel.sourceLabel()->isVisible());
}

// Readings ten minutes apart, climbing 1 % a minute: at 70 % with the reset 2 h 30 m away, the
// session runs out in half an hour. The panel says so; the card only ticks at half the window.
TEST_F(Content, ThePanelSaysWhereThePaceLeadsAndTheCardOnlyTicks) {
    History history;
    UsageStore::Deps d = deps();
    d.history = &history;
    store = std::make_unique<UsageStore>(d);
    UsageContent panel(store.get()), card(store.get(), false);
    HistoryView charts(store.get());
    const auto waiting = [&] {
        const auto* line = charts.findChild<TextLabel*>();
        return line && !line->isHidden() &&
               line->text() == u"The charts start after a few readings."_s;
    };
    for (const int percent : {40, 50, 60, 70}) {
        if (percent > 40)
            time.advance(600);
        read(
            u"Current session: %1% used · resets 11pm (UTC)\nCurrent week: 5% used"_s.arg(percent));
        if (percent == 40) {
            EXPECT_TRUE(charts.charts().isEmpty() && waiting()) << "one line, no empty box";
        }
    }
    EXPECT_FALSE(waiting());
    EXPECT_EQ(panel.rows()[0]->warningShown(),
              u"At this pace it runs out in 30m, 2h before it resets."_s);
    EXPECT_EQ(panel.rows()[0]->toolTip(), u"70% used\nEven pace: 50% by now"_s);
    EXPECT_EQ(card.rows()[0]->warningShown(), QString());
    for (UsageContent* c : {&panel, &card}) {
        EXPECT_DOUBLE_EQ(c->rows()[0]->bar()->pace().value_or(-1), 0.5);
        EXPECT_FALSE(c->rows()[1]->bar()->pace()); // no reset, no tick
    }
    // The chart: at least 64 px, from the window's start to its reset, as the row says it.
    ASSERT_EQ(charts.charts().size(), 1);
    const PaceChart* chart = charts.charts()[0];
    EXPECT_TRUE(chart->hasLine());
    EXPECT_GE(chart->plot().height(), 64);
    EXPECT_TRUE(panel.rows()[0]->resetShown().endsWith(chart->resetText()));
    EXPECT_FALSE(chart->startText().isEmpty() || chart->startText() == chart->resetText());
    // The tooltip: the reading under the pointer, and the even pace then; later, the pace alone.
    // The window runs from 18:00 to 23:00 UTC, the readings from 20:00 to 20:30.
    const auto x = [&](double share) {
        return int(chart->plot().left() + 4.5 + share * (chart->plot().width() - 9));
    };
    const auto tip = [&](double share) {
        return chart->tipAt(x(share)).replace(QChar(0x202F), u' '); // ICU's narrow space
    };
    const auto at = [&](int minutes) {
        return Fmt::clock(utc(2025, 10, 10, 20, minutes), time.now()).replace(QChar(0x202F), u' ');
    };
    EXPECT_EQ(tip(0.41), at(0) + u": 40% used · an even pace 40%"_s);
    EXPECT_EQ(tip(0.49), at(30) + u": 70% used · an even pace 50%"_s);
    EXPECT_TRUE(tip(0.9).contains(QRegularExpression(u"^By .+ an even pace would be at 90%$"_s)))
        << tip(0.9).toStdString();

    // Folded away, and still folded in the next panel.
    charts.setFolded(true);
    HistoryView next(store.get());
    EXPECT_TRUE(next.isFolded());
    EXPECT_TRUE(next.charts().isEmpty());
}

} // namespace
