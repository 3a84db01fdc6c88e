#include "main/Entry.h"
#include "support/QtPrinters.h"
#include "support/TestTime.h"
#include "usage/UsageParser.h"

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Entry::Mode;

namespace {

TEST(Entry, DispatchTableInOrder) {
    const struct {
        QStringList args;
        Mode mode;
    } cases[] = {
        {{u"bw"_s}, Mode::App},
        {{u"bw"_s, u"--make-icon"_s, u"icon.png"_s}, Mode::MakeIcon},
        {{u"bw"_s, u"--make-icon"_s, u"--parse"_s}, Mode::MakeIcon},
        {{u"bw"_s, u"--make-icon"_s}, Mode::App},
        {{u"bw"_s, u"--parse"_s}, Mode::Parse},
        {{u"bw"_s, u"--parse"_s, u"file.txt"_s, u"more"_s}, Mode::Parse},
        {{u"bw"_s, u"--check"_s}, Mode::Check},
        {{u"bw"_s, u"--check"_s, u"--parse"_s}, Mode::Check},
        {{u"bw"_s, u"--parse"_s, u"--check"_s}, Mode::Parse},
        {{u"bw"_s, u"--snapshot"_s, u"/tmp"_s}, Mode::Snapshot},
        {{u"bw"_s, u"--snapshot"_s}, Mode::App},
        {{u"bw"_s, u"--help"_s}, Mode::Help},
        {{u"bw"_s, u"--version"_s, u"x"_s}, Mode::Version},
        {{u"bw"_s, u"--PARSE"_s}, Mode::App},
        {{u"bw"_s, u"--parse=x"_s}, Mode::App},
        {{u"bw"_s, u"--snapshot=/tmp"_s, u"x"_s}, Mode::App},
        {{u"bw"_s, u"-h"_s}, Mode::App},
        {{u"bw"_s, u"x"_s, u"--parse"_s}, Mode::App},
        {{}, Mode::App},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Entry::dispatch(c.args), c.mode) << c.args.join(u' ').toStdString();
}

TEST(Entry, PercentIsTheShortestRoundTripWithAFraction) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {82, "82.0"},         {7.25, "7.25"},     {0.0001, "0.0001"},
        {100000, "100000.0"}, {0, "0.0"},         {96.1, "96.1"},
        {0.1, "0.1"},         {33.333, "33.333"}, {1e21, "1000000000000000000000.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Entry::formatPercent(c.value), QString::fromUtf8(c.text)) << c.value;
}

TEST(Entry, ParseReportLines) {
    const Instant now = utc(2025, 10, 10, 20, 0);
    EXPECT_EQ(Entry::parseReport(Entry::sampleText(), now),
              u"Session | 82.0% | in 2h 19m (2025-10-10 22:19:00 +0000)\n"
              "Week · all models | 67.0% | in 3d 22h (2025-10-14 18:59:00 +0000)\n"
              "Week · Fable | 96.0% | in 3d 22h (2025-10-14 18:59:00 +0000)\n"_s);
    EXPECT_EQ(Entry::parseReport(u"Current session: 5% used · resets soon"_s, now),
              u"Session | 5.0% | unparsed: soon\n"_s);
    EXPECT_EQ(Entry::parseReport(u"Current session: 5% used"_s, now),
              u"Session | 5.0% | unparsed: -\n"_s);
    EXPECT_EQ(
        Entry::parseReport(u"Current session: 5% used · resets Oct 10 at 7:59pm (UTC)"_s, now),
        u"Session | 5.0% | in now (2025-10-10 19:59:00 +0000)\n"_s);
    EXPECT_EQ(Entry::parseReport(u""_s, now),
              u"no rows · "_s + QString::fromUtf16(UsageParser::kNoAnswer) + u'\n');
    // The explanation is of the text as read, so escape sequences do not reach it.
    EXPECT_EQ(Entry::parseReport(u"\x1b[1mBusy\x1b[0m\nagain"_s, now), u"no rows · Busy\n"_s);
}

TEST(Entry, ParseTakesTheTimeOnceTheInputHasEnded) {
    bool read = false;
    const QString out = Entry::parseInput(
        [&] {
            read = true;
            return QByteArray("Current session: 5% used \xc2\xb7 resets 8:30pm (UTC)");
        },
        [&] {
            EXPECT_TRUE(read) << "the time was taken before the input ended";
            return utc(2025, 10, 10, 20, 0);
        });
    EXPECT_EQ(out, u"Session | 5.0% | in 30m (2025-10-10 20:30:00 +0000)\n"_s);
}

struct ProcessRun {
    int status;
    QString out, err;
};

ProcessRun brimwatch(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    // No display: the application mode must say so rather than start.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* key : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(key));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(BRIMWATCH_EXE), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(EntryProcess, ParseReadsStandardInput) {
    const QString line = u"Current session: 82% used · resets Oct 11 at 1:19am (Europe/Riga)"_s;
    const auto when = UsageParser::resetDate(u"Oct 11 at 1:19am (Europe/Riga)"_s,
                                             std::chrono::system_clock::now());
    ASSERT_TRUE(when);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when->time_since_epoch());
    const QString instant = QDateTime::fromMSecsSinceEpoch(ms.count(), QTimeZone::utc())
                                .toString(u"yyyy-MM-dd HH:mm:ss"_s);
    const ProcessRun r = brimwatch({u"--parse"_s, u"ignored-file.txt"_s}, (line + u'\n').toUtf8());
    EXPECT_EQ(r.status, 0);
    const QRegularExpression expected(
        u"^Session \\| 82\\.0% \\| in (?:\\d+[dhm](?: \\d+[hm])?|now) \\("_s +
        QRegularExpression::escape(instant) + u" \\+0000\\)\n$"_s);
    EXPECT_TRUE(expected.match(r.out).hasMatch()) << r.out.toStdString();
}

TEST(EntryProcess, BadBytesBecomeReplacementCharacters) {
    const ProcessRun r = brimwatch({u"--parse"_s}, QByteArray("\xff\xfeoops \xc3(\n"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, u"no rows · \uFFFD\uFFFDoops \uFFFD(\n"_s);
}

TEST(EntryProcess, VersionHelpAndTheApplication) {
    EXPECT_EQ(brimwatch({u"--version"_s}).out, u"Brimwatch 1.0.0\n"_s);
    const ProcessRun help = brimwatch({u"--help"_s});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(u"--parse"_s));
    const ProcessRun app = brimwatch({u"--Parse"_s}); // not a mode: the application starts
    EXPECT_EQ(app.status, 1);
    EXPECT_TRUE(app.out.isEmpty());
    EXPECT_EQ(app.err.count(u'\n'), 1);
    EXPECT_TRUE(app.err.contains(u"no display"_s)) << app.err;
}

} // namespace
