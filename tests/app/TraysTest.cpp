// Trays that are not there when the app starts: an XEmbed tray first, then, 5 seconds in,
// a StatusNotifierWatcher, as at a login where the panel starts after autostart. Then the
// system asks the app to end while a reading runs.

#include "app/Desktop.h"
#include "support/QtPrinters.h"

#include <QRegularExpression>

#include <csignal>

using namespace Qt::StringLiterals;
using namespace e2e;

namespace {

// How many of the app's icons the XEmbed tray holds.
int docked() {
    const QStringList tree = Desktop::xtool(u"xwininfo"_s, {u"-root"_s, u"-tree"_s}).split(u'\n');
    int count = 0;
    qsizetype trayDepth = -1;
    for (const QString& line : tree) {
        const qsizetype depth = line.size() - line.trimmed().size();
        if (line.contains(u"(\"panel\" \"trayer\")"_s))
            trayDepth = depth;
        else if (trayDepth >= 0 && depth <= trayDepth)
            trayDepth = -1;
        else if (trayDepth >= 0 && line.contains(u"(\"brimwatch\" "_s))
            ++count;
    }
    return count;
}

// Whether a process runs (a zombie has ended).
bool running(const QString& pid) {
    const QString stat = TestHome::read(u"/proc/"_s + pid.trimmed() + u"/stat"_s);
    return !stat.isEmpty() && stat.mid(stat.lastIndexOf(u')') + 2, 1) != u"Z";
}

TEST_F(Desktop, ATrayThatComesLate) {
    if (QStandardPaths::findExecutable(u"trayer"_s).isEmpty())
        GTEST_SKIP() << "trayer is not installed";
    claude("echo 'Current session: 42% used'\n");
    std::unique_ptr<QProcess> trayer(
        start(u"trayer"_s, {u"--edge"_s, u"top"_s, u"--align"_s, u"right"_s, u"--widthtype"_s,
                            u"pixel"_s, u"--width"_s, u"120"_s, u"--height"_s, u"24"_s}));
    ASSERT_TRUE(waitUntil(5000, [] { return !visibleWindow(u"^panel$"_s).isEmpty(); }));

    QElapsedTimer since;
    since.start();
    auto app = launch();
    EXPECT_TRUE(waitUntil(5000, [] { return docked() == 1; })) << "the XEmbed icon";

    spin(int(5000 - since.elapsed()));
    ASSERT_EQ(watcher->registrations, 0);
    watcher->publish(*panel);
    ASSERT_TRUE(waitUntil(5000, [] { return watcher->registrations == 1; }));
    const QString service = watcher->items().value(0);
    EXPECT_TRUE(waitUntil(5000, [&] {
        return itemProperties(service).value(u"XAyatanaLabel"_s).toString() == u" 42%"_s;
    }));
    EXPECT_TRUE(waitUntil(5000, [] { return docked() == 0; })) << "one icon, not two";
    EXPECT_EQ(watcher->items().size(), 1);

    // Told to end while the tool runs: the app ends as "Quit" ends it, the tool first.
    claude("echo $$ > \"$HOME/tool.pid\"\nsleep 30\n");
    menu(service, 2); // "Refresh now"
    const QString pidFile = TestHome::path() + u"/tool.pid"_s;
    ASSERT_TRUE(waitUntil(5000, [&] { return QFile::exists(pidFile); }));
    ::kill(pid_t(app->processId()), SIGTERM);
    EXPECT_TRUE(app->waitForFinished(5000));
    EXPECT_EQ(app->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app->exitCode(), 0);
    EXPECT_FALSE(running(TestHome::read(pidFile)));
    EXPECT_EQ(errors(*app), QString());

    watcher->unpublish(*panel);
    trayer->terminate();
    trayer->waitForFinished(5000);
}

} // namespace
