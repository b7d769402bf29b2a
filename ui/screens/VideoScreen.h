// One camera channel's screen: the main window docks or floats four of them and the playback engine
// draws the channel's decoded frames into it (frames arrive on a streaming thread).
#pragma once

#include "media/playback/ChannelView.h"

#include <QImage>
#include <QMutex>
#include <QWidget>

class VideoScreen : public QWidget, public ChannelView {
    Q_OBJECT
public:
    // Numbers the main window keys its handlers by.
    static constexpr int kMinWidth = 320;
    static constexpr int kMinHeight = 240;
    static const QColor kBackground; // RGB(50, 50, 50)

    explicit VideoScreen(int index, QWidget* parent = nullptr);

    int index() const { return m_index; }
    // "FRONT", "IN-CABIN", "REAR" for 0..2; empty for 3 and anything else.
    static QString channelName(int index);

    // ChannelView, callable from any thread: keeps the newest frame and queues one repaint.
    void presentFrame(VideoFramePtr frame) override;
    // Forgets the last frame (recording closed): the screen shows its grey fill again.
    void clearFrame() override;
    // The screen's own size in device pixels, so the engine converts no more than is shown.
    // Asked on the UI thread.
    std::pair<int, int> frameSizeHint() const override;
    bool hasFrame() const;
    // Number of frames handed over since construction (diagnostics and tests).
    quint64 framesPresented() const;
    // Number of those frames painted at least once (UI thread); the others were replaced unseen.
    quint64 framesPainted() const;

    bool isFloating() const { return isWindow(); }

signals:
    void dockOrFloatRequested(int index); // a double click: dock a floating screen, float a docked one
    void sizeChanged(int index);          // the player draws the next picture at the new size

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void scheduleRepaint();

    const int m_index;
    mutable QMutex m_frameLock; // guards the two members below; held only for the hand-over
    VideoFramePtr m_frame;
    quint64 m_framesPresented = 0;
    bool m_updatePending = false; // one queued repaint at a time, however fast frames arrive
    std::weak_ptr<const VideoFrame> m_painted; // the picture painted last (UI thread)
    quint64 m_framesPainted = 0;
};
