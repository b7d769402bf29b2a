// The zoom tool window: magnifies the screen area around the mouse pointer, refreshed every 40 ms.
// Created on first use of the zoom command by the main window, which shows and hides it.
#pragma once

#include <QImage>
#include <QRect>
#include <QTimer>
#include <QWidget>

class ZoomWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTimerId = 259; // the zoom window's own timer
    static constexpr int kPeriodMs = 40;
    static const QColor kOwnAreaFill; // RGB(150, 150, 150): the window never magnifies itself
    static const QColor kBackground;  // shown where the display gives no picture

    explicit ZoomWindow(QWidget* parent = nullptr);

    // The screen rectangle magnified for a client area of `clientSize` with the pointer at `cursor`
    // on a screen of `screenSize`: client ÷ factor in size, centred on the pointer, kept on screen.
    static QRect sourceRect(QPoint cursor, QSize clientSize, QSize screenSize, int factor = 2);

    // Where the zoom window's client area of `size` opens for a main window whose client area is
    // `window` (screen coordinates) on a screen whose free area is `available`, the player bar
    // being the bottom `barHeight` pixels of the window: beside the window where the screen has
    // room, otherwise inside it at the lower right of the video area, above the bar.
    static QPoint placement(const QRect& window, const QRect& available, QSize size, int barHeight);

    int factor() const { return m_factor; }
    int rememberedWidth() const { return m_width; }
    // One refresh now (the timer calls it; tests call it directly).
    void refresh();
    const QImage& lastPicture() const { return m_picture; }

signals:
    void closedByUser(); // the main window treats it as the zoom command

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_factor = 2;
    int m_width = 500; // the window's width after its last resize
    QTimer m_timer;
    QImage m_picture; // the magnified area, client-sized; null until the display gave contents
};
