// The smallest pieces: colours, the bar, and one limit row.

#include "support/Contrast.h"
#include "support/Table.h"
#include "support/TestTime.h"
#include "usage/Fmt.h"
#include "views/Bar.h"
#include "views/HistoryView.h"
#include "views/LimitRow.h"
#include "views/Palette.h"
#include "views/Theme.h"
#include "views/WrapLabel.h"

#include <QFontMetricsF>
#include <QImage>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

// Every text tone reads on the panel and on the card, light and dark: a contrast of at least
// 4.5:1 (WCAG's ratio for text), the accent also on the update notice's tinted background.
TEST(Theme, TextContrastsWithWhatItIsOn) {
    for (const QPalette& p : {Theme::light(), Theme::dark()}) {
        QColor tint = Palette::accent();
        tint.setAlphaF(0.22f);
        const QColor surfaces[] = {Theme::panelFill(p), over(Theme::cardFill(p), Qt::white),
                                   over(Theme::cardFill(p), Qt::black),
                                   over(tint, Theme::panelFill(p))};
        for (const QColor& surface : surfaces)
            for (Theme::Tone tone :
                 {Theme::Tone::Primary, Theme::Tone::Secondary, Theme::Tone::Tertiary,
                  Theme::Tone::Warn, Theme::Tone::Accent}) {
                if (surface == surfaces[3] && tone != Theme::Tone::Accent)
                    continue; // only the notice's text is on its tint
                EXPECT_GE(contrast(Theme::tone(p, tone), surface), 4.5)
                    << Theme::isDark(p) << " tone " << int(tone) << " on " << surface.name();
            }
    }
}

// Percent in, the fill's width in a 200 px bar out ("-": the track alone).
TEST(Bar, FillWidths) {
    const Row rows[] = {{"50", "100"}, {"1", "6"},  {"150", "200"}, {"100", "200"},
                        {"0", "-"},    {"-3", "-"}, {"nan", "-"}};
    checkTable(rows, [](const QString& p) {
        const auto w = Bar::fillWidth(200, p.toDouble());
        return w ? QString::number(*w) : u"-"_s;
    });
}

TEST(Bar, DrawsTheFillOverTheTrack) {
    Bar bar;
    bar.setPalette(Theme::light());
    bar.resize(200, Bar::kHeight);
    bar.setPercent(50);
    QImage image(200, Bar::kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    bar.render(&image, {}, {}, QWidget::DrawChildren);
    EXPECT_EQ(image.pixelColor(50, 3), Palette::accent());
    EXPECT_EQ(image.pixelColor(97, 3), Palette::accent());
    const QColor track = image.pixelColor(150, 3);
    EXPECT_NEAR(track.red(), 255 * 0.88, 2); // 12 % black over white
    EXPECT_EQ(track.red(), track.blue());
}

// Measured on the drawn images, a quarter of the window gone: the pace tick stands a quarter
// of the way along the bar, and a chart's newest reading a quarter of the way across.
TEST(Bar, TheTickAndTheChartStandWhereTheWindowIs) {
    const auto draw = [](QWidget& w) {
        w.setPalette(Theme::light());
        QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        w.render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    Bar bar;
    bar.resize(200, Bar::kHeight);
    bar.setPercent(10);
    bar.setPace(0.25);
    const QImage b = draw(bar);
    int darkest = 30;
    for (int x = 30; x < 200; ++x)
        if (b.pixelColor(x, 3).lightness() < b.pixelColor(darkest, 3).lightness())
            darkest = x;
    EXPECT_NEAR(darkest, 50, 1);

    PaceChart chart;
    chart.resize(268, chart.sizeHint().height());
    const Limit l{u"Current session"_s, u"Session"_s, 40, kNow + 3.75 * 3600, {}};
    chart.set(l,
              {Sample{kNow - 3600.0, l.title, l.rawLabel, 30, l.resetsAt, {}, {}},
               Sample{kNow, l.title, l.rawLabel, 40, l.resetsAt, {}, {}}},
              kNow);
    ASSERT_EQ(chart.newest(), 0.25);
    const QImage c = draw(chart);
    int right = -1;
    for (int y = 0; y < PaceChart::kPlotHeight; ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.pixelColor(x, y) == Palette::accent())
                right = std::max(right, x);
    const QRect plot = chart.plot();
    EXPECT_NEAR(right, plot.left() + 4.5 + 0.25 * (plot.width() - 9), 3);
}

TEST(LimitRow, PercentTexts) {
    const Row rows[] = {{"82.5", "83%"}, {"82.49", "82%"}, {"0.4", "0%"},
                        {"100", "100%"}, {"-0.5", "-1%"},  {"1e20", "100000000000000000000%"}};
    checkTable(rows, [](const QString& p) { return LimitRow::percentText(p.toDouble()); });
}

TEST(LimitRow, ResetLineForms) {
    Limit l;
    EXPECT_EQ(LimitRow::resetLine(l, kNow), u" "_s);
    l.resetText = u"Oct 11 at 1:19am (Mars/Base)"_s;
    EXPECT_EQ(LimitRow::resetLine(l, kNow), u"Resets Oct 11 at 1:19am (Mars/Base)"_s);
    for (double s : {0.0, -30.0}) {
        l.resetsAt = kNow + s;
        EXPECT_EQ(LimitRow::resetLine(l, kNow), u"Resetting now..."_s);
    }
    l.resetsAt = kNow + 8340.0;
    EXPECT_EQ(LimitRow::resetLine(l, kNow),
              u"Resets in 2h 19m · "_s + Fmt::clock(*l.resetsAt, kNow));
}

TEST(LimitRow, OddPercentagesStillDraw) {
    for (double percent : {std::nan(""), std::numeric_limits<double>::infinity(), -1e300}) {
        Limit l;
        l.percent = percent;
        LimitRow row(l, kNow);
        row.resize(244, row.sizeHint().height());
        QImage image(row.size(), QImage::Format_ARGB32_Premultiplied);
        row.render(&image);
        EXPECT_FALSE(row.percentShown().isEmpty());
    }
}

// A long title gives way to the percentage, and keeps an 8 px gap before it.
TEST(LimitRow, ALongTitleIsCutShortOfThePercentage) {
    Limit l;
    l.title = QString(300, u'l'); // narrow letters: the cut falls within a pixel or two
    l.percent = 42;
    LimitRow row(l, kNow);
    row.resize(244, row.sizeHint().height());
    const QString shown = row.titleShown();
    EXPECT_TRUE(shown.endsWith(u'…'));
    const qreal title = QFontMetricsF(Theme::font(12, QFont::Medium)).horizontalAdvance(shown);
    const qreal percent =
        QFontMetricsF(Theme::font(15, QFont::DemiBold)).horizontalAdvance(u"42%"_s);
    EXPECT_LE(title + 8 + percent, 244);
    EXPECT_GT(title + 8 + percent, 244 - 8) << "as long as there is room for";
}

TEST(LimitRow, ALongResetLineWrapsAtWordsAndIsShownWhole) {
    Limit l;
    l.title = u"Spend limit"_s;
    l.resetText = u"on the first working day after the end of the billing period (Europe/Riga)"_s;
    LimitRow row(l, kNow);
    row.resize(244, row.heightForWidth(244));
    row.show();
    EXPECT_GT(row.height(), row.heightForWidth(2000));
    const WrapLabel* reset = row.resetLabel();
    EXPECT_GE(row.height(), reset->geometry().bottom() + 1);
    EXPECT_GE(reset->height(), reset->heightForWidth(244));
    const QStringList lines = WrapLabel::lines(reset->text(), reset->font(), 244);
    ASSERT_GE(lines.size(), 2);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(lines[i].endsWith(u' ')) << "cut inside a word: " << lines[i];
}

} // namespace
