// The PNG files of --snapshot and --make-icon, made by the real executable.

#include "support/QtPrinters.h"
#include "support/TestHome.h"

#include <QDir>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

int brimwatch(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u"QT_QPA_PLATFORM"_s); // it must find the offscreen platform by itself
    env.remove(u"DISPLAY"_s);
    env.remove(u"WAYLAND_DISPLAY"_s);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(BRIMWATCH_EXE), args);
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

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

TEST(Render, SnapshotWritesTheFourViews) {
    TestHome::clear();
    const QString dir = TestHome::path() + u"/shots"_s;
    QDir().mkpath(dir);
    EXPECT_EQ(brimwatch({u"--snapshot"_s, dir}), 0);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files, QDir::Name),
              (QStringList{u"popover-dark.png"_s, u"popover-light.png"_s, u"widget-dark.png"_s,
                           u"widget-light.png"_s}));
    const struct {
        const char* file;
        int width; // points
        int grey;
    } cases[] = {{"widget-light.png", 280, 219},
                 {"widget-dark.png", 280, 31},
                 {"popover-light.png", 300, 219},
                 {"popover-dark.png", 300, 31}};
    for (const auto& c : cases) {
        const QImage image(dir + u'/' + QString::fromLatin1(c.file));
        ASSERT_FALSE(image.isNull()) << c.file;
        EXPECT_EQ(image.width(), 2 * (c.width + 48)) << c.file;
        EXPECT_EQ(image.height() % 2, 0) << c.file;
        EXPECT_GT(image.height(), 2 * (48 + 150)) << c.file << ": three rows and more";
        EXPECT_TRUE(bandIs(image, c.grey)) << c.file;
    }
}

TEST(Render, SnapshotIntoAMissingFolderWritesNothing) {
    TestHome::clear();
    EXPECT_EQ(brimwatch({u"--snapshot"_s, TestHome::path() + u"/missing"_s}), 0);
    EXPECT_TRUE(QDir(TestHome::path())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .filter(u"missing"_s)
                    .isEmpty());
}

TEST(Render, Icon) {
    TestHome::clear();
    const QString file = TestHome::path() + u"/icon.png"_s;
    EXPECT_EQ(brimwatch({u"--make-icon"_s, file}), 0);
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

    EXPECT_EQ(brimwatch({u"--make-icon"_s, TestHome::path() + u"/missing/icon.png"_s}), 0);
    EXPECT_FALSE(QDir(TestHome::path() + u"/missing"_s).exists());
}

} // namespace
