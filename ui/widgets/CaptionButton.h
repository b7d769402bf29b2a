// One of the main window's caption buttons (close, maximise, minimise): a glyph bitmap over a
// background that lights up under the mouse. Used by the main window.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

class CaptionButton : public QAbstractButton {
    Q_OBJECT
public:
    CaptionButton(const QString& glyphResource, bool closeStyle, QWidget* parent = nullptr);
    void setGlyph(const QString& glyphResource);
    // Back to the plain look. The window state changed under the mouse (minimise, restore, a
    // minimise the window system ignored): the leave event that would end the hover never comes.
    void resetLook();
    bool hovered() const { return m_hover; }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    QPixmap m_glyph;
    bool m_closeStyle = false; // red when hovered
    bool m_hover = false;
};
