// The PNG files of --snapshot and --make-icon, made by the real executable with no display.

#include "support/Brimwatch.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Whether every pixel of the 48 px (24 pt) band around the image is this grey.
bool bandIs(const QImage& image, int grey) {
    const int band = 48;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool inBand =
                x < band || y < band || x >= image.width() - band || y >= image.height() - band;
            if (inBand && image.pixel(x, y) != qRgb(grey, grey, grey))
                return false;
        }
    return true;
}

TEST(Render, SnapshotDrawsEachViewInEachStateLightAndDark) {
    TestHome::clear();
    const QString dir = TestHome::path() + u"/shots"_s;
    QDir().mkpath(dir);
    // Without more, exactly the four files, in this order, and not a word.
    const ProcessRun four = brimwatch({u"--snapshot"_s, dir});
    EXPECT_EQ(four.status, 0);
    EXPECT_EQ(four.err, QString());
    EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Time | QDir::Reversed),
              (QStringList{u"widget-light.png"_s, u"popover-light.png"_s, u"widget-dark.png"_s,
                           u"popover-dark.png"_s}));
    EXPECT_EQ(brimwatch({u"--snapshot"_s, dir, u"--all-states"_s}).err, QString());
    QStringList expected;
    for (const char* view : {"popover", "widget"})
        for (const char* state :
             {"", "-accounts", "-calm", "-error", "-failed", "-loading", "-pace", "-statusline"})
            for (const char* look : {"-dark", "-light"})
                expected << u"%1%2%3.png"_s.arg(QString::fromLatin1(view),
                                                QString::fromLatin1(state),
                                                QString::fromLatin1(look));
    expected.sort();
    ASSERT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name), expected);
    for (const QString& file : expected) {
        const QImage image(dir + u'/' + file);
        ASSERT_FALSE(image.isNull()) << file;
        EXPECT_EQ(image.width(), 2 * ((file.startsWith(u"widget") ? 280 : 300) + 48)) << file;
        EXPECT_TRUE(bandIs(image, file.endsWith(u"dark.png") ? 31 : 219)) << file;
    }
    // The sample's three rows make the tallest card; drawing wrote nothing else down.
    EXPECT_GT(QImage(dir + u"/widget-light.png"_s).height(),
              QImage(dir + u"/widget-loading-light.png"_s).height() + 2 * 100);
    EXPECT_FALSE(QDir(TestHome::path() + u"/.local/share/Brimwatch"_s).exists());

    EXPECT_EQ(brimwatch({u"--snapshot"_s, TestHome::path() + u"/missing"_s}).status, 0);
    EXPECT_FALSE(QDir(TestHome::path() + u"/missing"_s).exists());
}

TEST(Render, Icon) {
    TestHome::clear();
    const QString file = TestHome::path() + u"/icon.png"_s;
    EXPECT_EQ(brimwatch({u"--make-icon"_s, file}).status, 0);
    const QImage icon(file);
    ASSERT_EQ(icon.size(), QSize(1024, 1024));
    bool borderClear = true;
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x)
            if ((x < 100 || y < 100 || x >= 924 || y >= 924) && qAlpha(icon.pixel(x, y)) != 0)
                borderClear = false;
    EXPECT_TRUE(borderClear);
    // On the ring straight above the centre: the arc, opaque white.
    EXPECT_EQ(icon.pixel(512, 1024 - 742), qRgba(255, 255, 255, 255));
    // Straight left of the centre: the 28 % white track over the middle of the gradient.
    const QColor left = icon.pixelColor(282, 512);
    EXPECT_EQ(left.alpha(), 255);
    EXPECT_NEAR(left.red(), 0.72 * 0.725 * 255 + 0.28 * 255, 3);
    EXPECT_NEAR(left.green(), 0.72 * 0.375 * 255 + 0.28 * 255, 3);
    EXPECT_NEAR(left.blue(), 0.72 * 0.29 * 255 + 0.28 * 255, 3);

    EXPECT_EQ(brimwatch({u"--make-icon"_s, TestHome::path() + u"/missing/icon.png"_s}).status, 0);
    EXPECT_FALSE(QDir(TestHome::path() + u"/missing"_s).exists());
}

} // namespace
