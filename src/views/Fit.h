#pragma once

#include <QSize>

class QWidget;

// The size a top-level view needs: its own width, and the height of its content there.
QSize fittingSize(QWidget* view);

// Lays a top-level view out now, at its own width, and sizes it to what its content
// needs; pending layout requests (rows shown, texts changed) are taken into account.
void fitToContent(QWidget* view);
