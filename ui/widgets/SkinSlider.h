// Bitmap slider of the skinned dialogs and panels: a track drawn from two bitmaps (before and after
// the thumb) and a thumb bitmap; reports its position to its parent while dragged and when set.
#pragma once

#include <QPixmap>
#include <QWidget>

class SkinSlider : public QWidget {
    Q_OBJECT
public:
    // What a report says; the numbers are the designed ones.
    enum Report : int {
        Tracking = 0x28D1, // while the thumb is dragged
        Changed = 0x28D2,  // drag ended, or a key step
    };
    Q_ENUM(Report)

    explicit SkinSlider(QWidget* parent = nullptr, int controlId = 0);

    // Track bitmaps (resource numbers or pixmaps); the control takes the first one's size.
    void setBitmaps(int first, int second);
    void setBitmaps(const QPixmap& first, const QPixmap& second);
    void setThumbBitmaps(int normal, int pressed);
    void setThumbBitmaps(const QPixmap& normal, const QPixmap& pressed);
    void setThumbSize(int width, int height); // without a thumb bitmap
    void setMargins(int left, int right, int top, int bottom);
    void setVertical(bool vertical) {
        m_vertical = vertical;
        update();
    }
    void setRange(int minimum, int maximum);
    void setPageStep(int step) { m_pageStep = step; }
    void setPos(int position); // clamped to the range, repaints
    int getPos() const { return m_position; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int controlId() const { return m_controlId; }
    void setEnabledState(bool enabled) {
        m_enabled = enabled;
        update();
    }

    // Geometry along the slider's axis.
    int trackLength() const;
    int pixelOfPosition(int position) const;
    int positionOfPixel(int pixel) const;
    int grabOffset() const { return m_grabOffset; }
    bool isDragging() const { return m_dragging; }

    QSize sizeHint() const override;

signals:
    // The parent tells its sliders apart by id.
    void notify(SkinSlider::Report report, int controlId, int position);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    int length() const { return m_vertical ? height() : width(); }
    int thumbLength() const { return m_vertical ? m_thumbHeight : m_thumbWidth; }
    int marginBefore() const { return m_vertical ? m_marginTop : m_marginLeft; }
    int marginAfter() const { return m_vertical ? m_marginBottom : m_marginRight; }
    int axis(const QPointF& p) const { return static_cast<int>(m_vertical ? p.y() : p.x()); }
    void dragTo(int coordinate);
    int clamp(int position) const;

    int m_maximum = 100;
    int m_minimum = 0;
    int m_position = 0;
    int m_pageStep = 20;
    int m_thumbWidth = 0;
    int m_thumbHeight = 0;
    int m_marginLeft = 0, m_marginRight = 0, m_marginTop = 0, m_marginBottom = 0;
    int m_grabOffset = 0; // click minus thumb centre at the start of a drag
    int m_controlId = 0;
    bool m_vertical = false;
    bool m_dragging = false;
    bool m_enabled = true;
    QPixmap m_trackFirst, m_trackSecond, m_thumbNormal, m_thumbPressed;
};
