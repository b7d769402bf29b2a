// Bitmap push button of the skinned dialogs: normal, pressed, hover, disabled and focus images, an
// outline cut from a mask bitmap, a check state and a tool tip. Used by the drive dialog and the
// other skinned dialogs and panels.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QRegion>

class SkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SkinButton(QWidget* parent = nullptr);

    // Resource numbers; a disabled id of 0 lets the normal bitmap serve, a mask id of 0 keeps the
    // whole rectangle. The button takes the normal bitmap's size.
    void setBitmaps(int normal, int pressed, int hover, int disabled = 0, int focus = 0, int mask = 0);
    void setBitmaps(const QPixmap& normal, const QPixmap& pressed, const QPixmap& hover,
                    const QPixmap& disabled = {}, const QPixmap& focus = {}, const QImage& mask = {});
    void setCheck(bool checked);
    bool getCheck() const { return m_checked; }
    void clearCheck(); // clears a set check state and repaints
    void setTextColor(const QColor& c) {
        m_textColor = c;
        update();
    }

    // The outline of a mask: every horizontal run of pixels that are not pure white.
    static QRegion regionFromMask(const QImage& mask);
    const QRegion& windowRegion() const { return m_region; }
    bool hasShape() const { return m_hasShape; }
    bool isHovering() const { return m_hover; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    bool hitButton(const QPoint& pos) const override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    QPixmap m_normalBitmap, m_pressedBitmap, m_hoverBitmap, m_disabledBitmap, m_focusBitmap;
    QRegion m_region;
    QColor m_textColor;
    int m_focusMargin = 0;
    bool m_checked = false;
    bool m_hover = false;
    bool m_hasShape = false;
};
