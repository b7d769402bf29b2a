// One of the main window's caption buttons (close, maximise, minimise): a glyph bitmap over a
// background that lights up under the mouse. Used by CHvViewerDlg.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

class CaptionButton : public QAbstractButton {
    Q_OBJECT
public:
    CaptionButton(const QString& glyphResource, bool closeStyle, QWidget* parent = nullptr);
    void SetGlyph(const QString& glyphResource);

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    QPixmap m_glyph;
    bool m_closeStyle = false; // red when hovered
    bool m_hover = false;
};
