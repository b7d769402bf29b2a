// The pop-up G-sensor window: the first minute of the open recording's raw G-sensor readings on
// a picture background, with a skinned close button; dragged by any other click. "btnGSensor"
// shows and hides two of them side by side (the second with its own close button); each hides
// when another recording opens and when the player goes idle.
#pragma once

#include "ui/render/GsensorHistoryRenderer.h"
#include "ui/playback/PlaybackSession.h"

#include <QPointer>
#include <QWidget>

class SkinButton;

class GsensorPopup : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCloseButtonId = 1130;
    static constexpr int kSecondCloseButtonId = 1269; // the second window's close button

    explicit GsensorPopup(QWidget* parent = nullptr, int closeButtonId = kCloseButtonId);

    // Reads the raw G-sensor list of `session`'s recording; hides when another one opens or it closes.
    void setSession(PlaybackSession* session);
    SkinButton* closeButton() const { return m_close; }

signals:
    void closed(); // the close button was clicked

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPointer<PlaybackSession> m_session;
    SkinButton* m_close = nullptr;
    GsensorHistoryRenderer m_renderer;
};
