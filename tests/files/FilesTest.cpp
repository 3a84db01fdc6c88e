// Files written whole, and folders that say why they could not be made.

#include "files/Files.h"
#include "support/QtPrinters.h"
#include "support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(Files, AWriteReplacesTheFileAndNeverFollowsALink) {
    TestHome::clear();
    const QString target = TestHome::write(u"elsewhere/precious"_s, "keep");
    const QString path = TestHome::path() + u"/status.txt"_s;
    ASSERT_TRUE(QFile::link(target, path));
    EXPECT_EQ(Files::write(path, "new"), std::nullopt);
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(TestHome::read(path), u"new"_s);
    EXPECT_EQ(TestHome::read(target), u"keep"_s);
    EXPECT_EQ(QFileInfo(path).permissions() & QFile::WriteOther, 0);

    // Failures say why and leave nothing behind.
    QDir().mkpath(TestHome::path() + u"/taken"_s);
    EXPECT_EQ(Files::write(TestHome::path() + u"/taken"_s, "x"), u"Is a directory"_s);
    EXPECT_EQ(Files::write(TestHome::path() + u"/missing/file"_s, "x"),
              u"No such file or directory"_s);
    EXPECT_EQ(QDir(TestHome::path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{u"status.txt"_s});
}

TEST(Files, AFolderSaysWhatIsInTheWay) {
    TestHome::clear();
    const QString home = TestHome::path();
    EXPECT_EQ(Files::makeFolder(home + u"/a/b/c"_s), std::nullopt);
    EXPECT_TRUE(QFileInfo(home + u"/a/b/c"_s).isDir());
    EXPECT_EQ(Files::makeFolder(home + u"/a/b/c"_s), std::nullopt);
    TestHome::write(u"file"_s, "x");
    EXPECT_EQ(Files::makeFolder(home + u"/file"_s), u"it is a file, not a folder"_s);
    EXPECT_EQ(Files::makeFolder(home + u"/file/sub"_s), home + u"/file is a file, not a folder"_s);
}

} // namespace
