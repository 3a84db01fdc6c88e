// When the app speaks up: readings in sequence, and the notices they give.

#include "store/Alerts.h"
#include "support/Table.h"
#include "support/TestTime.h"

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

// A sequence of steps, each "reading" or "restart": a reading is "percent@window" for the
// session, its reset that many hours ahead ("-" for a failed reading, which is not decided
// on), "off" reads with the switch off; ">minutes": its pace runs it out then. Out: the
// notices of all steps, "|" between steps, "close" where a step takes the limit's bubble off
// the screen.
QString run(const QString& steps) {
    Alerts::Marks marks, stored;
    QStringList out;
    for (const QString& s : steps.split(u' ')) {
        QStringList told;
        if (s == u"restart") {
            marks = stored; // what the settings kept
        } else if (s != u"-" && !s.startsWith(u"off")) {
            Limit l{u"Current session"_s, u"Session"_s, s.section(u'@', 0, 0).toDouble(), {}, {}};
            l.resetsAt = kNow + 3600.0 * s.section(u'@', 1).section(u'>', 0, 0).toDouble();
            QMap<QString, Alerts::Ahead> ahead;
            if (s.contains(u'>')) {
                const Instant out = kNow + 60 * s.section(u'>', 1).toDouble();
                ahead.insert(u"Session"_s, {out, secondsBetween(out, *l.resetsAt)});
            }
            const Alerts::Step step =
                Alerts::decide({l}, marks, kNow, {}, ahead, {{u"Session"_s, u"Mostly app"_s}});
            if (!ahead.isEmpty() && !step.notices.isEmpty()) {
                EXPECT_TRUE(step.notices.last().body.startsWith(u"At this pace\nMostly app\n"_s) ||
                            !step.notices.last().summary.contains(u"runs out"_s));
            }
            for (const QString& closed : step.closes)
                told << u"close"_s + (closed == u"Session" ? u""_s : closed);
            for (const Alerts::Notice& n : step.notices)
                told << u"%1 (%2)"_s.arg(n.summary).arg(int(n.urgency)) +
                            (n.limit == u"Session" ? u""_s : n.limit);
            marks = stored = step.marks;
        }
        out << told.join(u", "_s);
    }
    return out.join(u" | "_s);
}

TEST(Alerts, CrossingsGiveOneNoticeEach) {
    const Row rows[] = {
        {"75@1 85@1 86@1", " | Claude session at 85% (1) | "},
        {"79@1 96@1 100@1", " | Claude session at 96% (1) | Claude session limit reached (2)"},
        // A new window takes the bubble away, and says so when the limit had nearly run out.
        {"100@1 3@2", "Claude session limit reached (2) | close, Claude session is back to 3% (1)"},
        {"85@1 3@2", "Claude session at 85% (1) | close"},
        // Within a window, whatever the readings do, each band is told once.
        {"96@1 85@1 3@1", "Claude session at 96% (1) |  | "},
        {"96@1 100@1 5@1 100@1",
         "Claude session at 96% (1) | Claude session limit reached (2) |  | "},
        // A reset that drifts by minutes is the same window, however often.
        {"96@1 96@1.0167 96@1.07 96@1.4 96@1", "Claude session at 96% (1) |  |  |  | "},
        {"86@1 restart 86@1 96@1", "Claude session at 86% (1) |  |  | Claude session at 96% (1)"},
        {"86@1 86@2", "Claude session at 86% (1) | Claude session at 86% (1)"},
        {"85@1 - 85@1", "Claude session at 85% (1) |  | "},
        {"off85@1 off96@1 85@1", " |  | Claude session at 85% (1)"},
        // A pace that runs out at least 15 minutes early, from 50 %, with nothing told yet:
        // once a window, and the bands still follow.
        {"60@1>30 62@1>20 85@1>10", "Claude session runs out at 10:30\u202FAM (1) |  | "
                                    "Claude session at 85% (1)"},
        {"49@1>30 60@1>50 85@1>30 90@1>30", " |  | Claude session at 85% (1) | "},
        {"60@1>30 60@2>30", "Claude session runs out at 10:30\u202FAM (1) | close, "
                            "Claude session runs out at 10:30\u202FAM (1)"},
        // On the percentage as printed: 79.6 is not yet 80.
        {"79.6@1 80@1", " | Claude session at 80% (1)"},
    };
    checkTable(rows, run);
}

// Marks do not pile up: those of windows over for a day, and of limits gone that had no
// reset, go; a limit still read keeps its mark.
TEST(Alerts, MarksAreForgotten) {
    const Alerts::Marks marks{{u"Old"_s, {95, kNow - 86401.0}},
                              {u"Recent"_s, {85, kNow - 86399.0}},
                              {u"Gone"_s, {85, std::nullopt}},
                              {u"Read"_s, {85, std::nullopt}}};
    const Limit read{u"Read"_s, u"Read"_s, 50, {}, {}};
    EXPECT_EQ(Alerts::decide({read}, marks, kNow).marks.keys(),
              (QStringList{u"Read"_s, u"Recent"_s}));
}

TEST(Alerts, TheBodySaysWhenTheLimitResets) {
    Limit l{u"Current week (all models)"_s, u"Week · all models"_s, 97, {}, u"Tuesday"_s};
    Alerts::Step step = Alerts::decide({l}, {}, kNow);
    ASSERT_EQ(step.notices.size(), 1);
    EXPECT_EQ(step.notices[0].summary, u"Claude week · all models at 97%"_s);
    EXPECT_EQ(step.notices[0].body, u"Tuesday"_s);
    l.resetsAt = kNow + 7500.0;
    l.percent = 100;
    step = Alerts::decide({l}, step.marks, kNow);
    EXPECT_TRUE(step.notices.value(0).body.startsWith(u"Resets in 2h 5m · "_s));
    // A summary short enough for a daemon to show whole: a long title goes in the body.
    l.title = u"Week · Claude Opus 4.5 with extended thinking"_s;
    step = Alerts::decide({l}, {}, kNow);
    EXPECT_EQ(step.notices.value(0).summary, u"Claude week · claude opus… limit reached"_s);
    EXPECT_TRUE(step.notices.value(0).body.startsWith(l.title + u"\nResets in 2h 5m"_s));
    // An account's name leads, where a list that cuts the end still shows it.
    EXPECT_EQ(Alerts::decide({l}, {}, kNow, u"Work"_s).notices.value(0).summary,
              u"Work: week · claude opus … limit reached"_s);
}

} // namespace
