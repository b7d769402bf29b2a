// A plain child painted in the panel colour; holds the place of a panel, screen or list in the
// main window until the real widget is installed (MainWindow::installPanel).
#pragma once

#include <QPainter>
#include <QWidget>

class PanelPlaceholder : public QWidget {
public:
    explicit PanelPlaceholder(QWidget* parent = nullptr) : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
    }
};
