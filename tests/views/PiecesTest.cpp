// The smallest pieces: colours, the bar, and one limit row.

#include "support/QtPrinters.h"
#include "support/TestTime.h"
#include "usage/Fmt.h"
#include "views/Bar.h"
#include "views/LimitRow.h"
#include "views/Palette.h"
#include "views/Theme.h"
#include "views/WrapLabel.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const Instant kNow = utc(2025, 10, 10, 20, 0);

TEST(Palette, ColourBounds) {
    const struct {
        double percent;
        const QColor& colour;
    } cases[] = {
        {0, Palette::accent()},
        {79.99, Palette::accent()},
        {80, Palette::warn()},
        {94.99, Palette::warn()},
        {95, Palette::danger()},
        {120, Palette::danger()},
        {std::nan(""), Palette::accent()},
        {-5, Palette::accent()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Palette::color(c.percent), c.colour) << c.percent;
    EXPECT_EQ(Palette::accent(), QColor(193, 99, 76));
}

TEST(Bar, FillWidths) {
    const struct {
        double percent;
        std::optional<qreal> width;
    } cases[] = {{50, 100.0},
                 {1, 6.0},
                 {150, 200.0},
                 {100, 200.0},
                 {0, std::nullopt},
                 {-3, std::nullopt},
                 {std::nan(""), std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(Bar::fillWidth(200, c.percent), c.width) << c.percent;
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

TEST(LimitRow, PercentTexts) {
    const struct {
        double percent;
        const char* text;
    } cases[] = {{82.5, "83%"}, {82.49, "82%"}, {0.4, "0%"},
                 {100, "100%"}, {-0.5, "-1%"},  {1e20, "100000000000000000000%"}};
    for (const auto& c : cases)
        EXPECT_EQ(LimitRow::percentText(c.percent), QString::fromUtf8(c.text)) << c.percent;
}

TEST(LimitRow, ResetLineForms) {
    Limit l;
    EXPECT_EQ(LimitRow::resetLine(l, kNow), u" "_s);
    l.resetText = u"Oct 11 at 1:19am (Mars/Base)"_s;
    EXPECT_EQ(LimitRow::resetLine(l, kNow), u"Resets Oct 11 at 1:19am (Mars/Base)"_s);
    l.resetsAt = kNow;
    EXPECT_EQ(LimitRow::resetLine(l, kNow), u"Resetting now..."_s);
    l.resetsAt = kNow - 30.0;
    EXPECT_EQ(LimitRow::resetLine(l, kNow), u"Resetting now..."_s);
    l.resetsAt = kNow + 1.0;
    EXPECT_EQ(LimitRow::resetLine(l, kNow), u"Resets in 1m · "_s + Fmt::clock(*l.resetsAt, kNow));
    l.resetsAt = kNow + 8340.0;
    EXPECT_TRUE(LimitRow::resetLine(l, kNow).startsWith(u"Resets in 2h 19m · "_s));
}

TEST(LimitRow, OddPercentagesStillDraw) {
    for (double percent : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -1e300}) {
        Limit l;
        l.title = u"Session"_s;
        l.percent = percent;
        LimitRow row(l, kNow);
        row.resize(244, row.sizeHint().height());
        QImage image(row.size(), QImage::Format_ARGB32_Premultiplied);
        row.render(&image);
        EXPECT_FALSE(row.percentShown().isEmpty());
    }
}

TEST(LimitRow, ALongTitleGivesWayToThePercentage) {
    Limit l;
    l.title = QString(200, u'W');
    l.percent = 42;
    LimitRow row(l, kNow);
    row.resize(244, row.sizeHint().height());
    EXPECT_LT(row.titleShown().size(), 200);
    EXPECT_TRUE(row.titleShown().endsWith(u'…'));
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
