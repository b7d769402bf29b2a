// Paints the parts of the main window that no child covers: the graded title band, the black
// frame around the skin page and the gaps between panels. Used by MainWindow::paintEvent.
#pragma once

#include <QSize>

class QPainter;

void paintMainWindow(QPainter& painter, QSize client, int scrollBarWidth);
