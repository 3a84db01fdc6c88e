// Where the panel opens: beside the host panel and inside the work area, and on sway where
// sway's socket says.

#include "app/AppDelegate.h"
#include "app/PanelWindow.h"
#include "platform/SwayIpc.h"
#include "support/Table.h"
#include "support/TestHome.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Where the host says the icon is ("-": it does not) and where the host panel keeps its room
// (top, bottom, left, right or none) in, where a 300 by 400 panel opens on a 1280 by 800
// screen out: beside the host panel, inside the work area, never over it.
TEST(PanelWindow, Placement) {
    const Row rows[] = {
        {"600,10 top", "450,34"},      // below a top bar, not over it
        {"1200,10 top", "972,34"},     // kept 8 px inside the work area
        {"640,790 bottom", "490,366"}, // above a bottom bar
        {"10,700 left", "34,392"},     // beside a vertical bar, kept on screen
        {"1270,300 right", "946,100"},
        {"600,300 none", "450,308"}, // a point inside the work area:
                                     // below it
        {"600,700 none", "450,292"}, // or above it, in the screen's bottom half
        {"- top", "972,34"},         // no point: the corner nearest the tray
        {"- bottom", "972,366"},
        {"- left", "34,392"},
        {"- right", "946,392"},
        {"- none", "972,8"},
    };
    checkTable(rows, [](const QString& in) {
        const QString at = in.section(u' ', 0, 0), edge = in.section(u' ', 1);
        const QRect screen(0, 0, 1280, 800);
        const QRect work = edge == u"top"      ? screen.adjusted(0, 26, 0, 0)
                           : edge == u"bottom" ? screen.adjusted(0, 0, 0, -26)
                           : edge == u"left"   ? screen.adjusted(26, 0, 0, 0)
                           : edge == u"right"  ? screen.adjusted(0, 0, -26, 0)
                                               : screen;
        const std::optional<QPoint> point =
            at == u"-" ? std::nullopt
                       : std::optional(
                             QPoint(at.section(u',', 0, 0).toInt(), at.section(u',', 1).toInt()));
        const QPoint p = PanelWindow::placement({300, 400}, point, screen, work);
        return u"%1,%2"_s.arg(p.x()).arg(p.y());
    });
    // On sway, the compositor is asked to put it there.
    EXPECT_EQ(SwayIpc::placeCommand(u"Brimwatch panel"_s, {300, 400}, 8, {0, 26, 1280, 774}),
              u"[pid=%1 title=\"^Brimwatch panel$\"] floating enable, resize set 300 400, move "
              "absolute position 972 34"_s.arg(QCoreApplication::applicationPid()));
    EXPECT_EQ(AppDelegate::menubarLine(false, QRect(1180, 2, 24, 26)),
              u"menu bar item: visible=false frame={{1180, 2}, {24, 26}}\n"_s);
}

// The conversation with sway over its socket: the workspaces asked for, then the command for
// the focused one. The server answers as sway does: a header, then the payload. Once it has
// answered, or when it hangs up at once, the socket is closed and nothing keeps reading.
TEST(Placement, AsksSwayOverItsSocket) {
    for (const bool hangsUp : {false, true}) {
        QLocalServer sway;
        ASSERT_TRUE(sway.listen(TestHome::path() + u"/sway-ipc.sock"_s));
        qputenv("SWAYSOCK", sway.fullServerName().toLocal8Bit());
        QList<QByteArray> asked;
        QObject::connect(&sway, &QLocalServer::newConnection, [&] {
            QLocalSocket* peer = sway.nextPendingConnection();
            QObject::connect(peer, &QLocalSocket::readyRead, peer, [&asked, peer, hangsUp] {
                const QByteArray m = peer->readAll();
                asked << m.mid(6);
                if (hangsUp)
                    return peer->disconnectFromServer();
                const QByteArray reply =
                    m.at(10) == 1
                        ? R"([{"focused":false,"rect":{"x":0,"y":0,"width":9,"height":9}},)"
                          R"({"focused":true,"rect":{"x":1280,"y":30,"width":1920,"height":1050}}])"
                        : R"([{"success":true}])";
                const quint32 words[2] = {quint32(reply.size()), quint32(m.at(10))};
                peer->write("i3-ipc" + QByteArray(reinterpret_cast<const char*>(words), 8) + reply);
            });
        });
        const auto open = [] { return QDir(u"/proc/self/fd"_s).count(); };
        const auto before = open();
        // The window takes the size that fits the area the bars leave.
        SwayIpc::placeTopRight(
            u"Brimwatch"_s, [](const QRect& area) { return QSize(300, area.height() - 24); }, 12,
            false);
        const bool done =
            waitUntil(5000, [&] { return asked.size() == (hangsUp ? 1 : 2) && open() == before; });
        qunsetenv("SWAYSOCK");
        ASSERT_TRUE(done) << hangsUp << ": " << asked.size() << " asked, " << open() - before
                          << " more open";
        EXPECT_EQ(asked[0], QByteArray("\0\0\0\0\1\0\0\0", 8)) << "an empty GET_WORKSPACES";
        if (!hangsUp) {
            EXPECT_EQ(asked[1].mid(8), SwayIpc::placeCommand(u"Brimwatch"_s, {300, 1026}, 12,
                                                             {1280, 30, 1920, 1050}, false)
                                           .toUtf8());
        }
    }
}

} // namespace
