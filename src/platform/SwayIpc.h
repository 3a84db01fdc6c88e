#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

// On Wayland a client cannot place its own windows, and under sway an X client's wishes count
// for little; sway itself, through its IPC socket, can be asked to place them. Off sway this
// does nothing.
namespace SwayIpc {

// Whether the app runs under sway (its IPC socket is named in SWAYSOCK).
bool available();

// Floats the app's window of this title at the top right of the focused workspace's area
// (what the bars leave: the screen's own work area is the whole output here), `margin` inside
// it, at the size `sizeIn` gives for that area (nothing when it gives an empty one), and with
// `focus` gives it the keyboard (sway does not for an X client that asks). Asynchronous;
// nothing waits for sway's answer.
void placeTopRight(const QString& title, std::function<QSize(const QRect& area)> sizeIn, int margin,
                   bool focus = false);

// The command that does it for a workspace area: "[pid=... title=...] floating enable, ...".
QString placeCommand(const QString& title, QSize size, int margin, const QRect& area,
                     bool focus = false);

// Floats the app's window of this title over the whole of the focused workspace's area, with
// no border (a transparent window there catches the clicks outside the panel), then focuses
// the window titled `above`, which sway raises over it.
void cover(const QString& title, const QString& above);

} // namespace SwayIpc
