// Transparent text label of the skinned dialogs, drawn over a copy of the dialog's picture under it.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

class CWBCText : public QWidget {
    Q_OBJECT
public:
    explicit CWBCText(QWidget* parent = nullptr);

    // The parent calls this after painting its background: keeps the part under this control.
    void CaptureBackground(const QPixmap& parentPicture);
    void SetText(const QString& text) {
        m_text = text;
        update();
    }
    QString Text() const { return m_text; }
    void SetTextColor(const QColor& c) {
        m_textColor = c;
        update();
    }
    void SetFont(const QString& name, int points) {
        m_fontName = name;
        m_fontSize = points;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap m_background;
    QString m_text;
    QColor m_textColor = Qt::black;
    QString m_fontName = QStringLiteral("Arial");
    int m_fontSize = 10; // points
};
