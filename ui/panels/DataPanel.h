// Base of the drawn data panels (speed, G-sensor, accelerometer): follows a PlaybackSession,
// keeps the panel's background (curves) in a cached picture rebuilt only on data or size changes,
// repaints only the plot area on a tick, turns clicks into seeks and asks to be docked or floated.
#pragma once

#include "ui/playback/PlaybackSession.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <optional>

class DataPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 400; // while floating
    static constexpr int kMinHeight = 120;

    // `title`: the window text shown while the panel floats.
    explicit DataPanel(const QString& title, QWidget* parent = nullptr);

    // Follows `session` (nullptr: none): its recording fills the panel, its position moves it,
    // and clicks ask it for seeks. Replaces any earlier session.
    void setSession(PlaybackSession* session);
    PlaybackSession* session() const { return m_session; }

    // The playback position in milliseconds; repaints the plot area only.
    void setPosition(int64_t positionMs);
    int64_t position() const { return m_positionMs; }

    bool isFloating() const { return isWindow(); }
    // Times the cached background was drawn (diagnostics and tests).
    int backgroundBuilds() const { return m_backgroundBuilds; }

    // Draws the whole panel as it looks at `size` into any painter (PNG, printer).
    void render(QPainter& p, QSize size) const;

signals:
    void dockToggleRequested();            // dock or float this panel
    void seekRequested(qint64 positionMs); // a click on the graph asks playback to go there

protected:
    // The session's recording arrived (fill the renderer) or went (empty it).
    virtual void recordingOpened(const PlaybackSession& session) = 0;
    virtual void recordingClosed() = 0;
    virtual void paintBackground(QPainter& p, QSize size) const = 0;
    virtual void paintOverlay(QPainter& p, QSize size, int64_t positionMs) const = 0;
    virtual QRect tickRect() const = 0;
    // The position a click asks for; none by default.
    virtual std::optional<int64_t> seekAt(QPoint) const { return std::nullopt; }
    // What SetPosition stores for a position (the G-sensor panels hold it before the end).
    virtual int64_t storedPosition(int64_t positionMs) const { return positionMs; }
    // Data, unit or size changed: the cached background is drawn again on the next paint.
    void rebuildBackground();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<PlaybackSession> m_session;
    QPixmap m_background;
    bool m_backgroundValid = false;
    int m_backgroundBuilds = 0;
    int64_t m_positionMs = 0;
};
