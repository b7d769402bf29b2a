// Transparent text label of the skinned dialogs, drawn over a copy of the dialog's picture under it.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

class SkinText : public QWidget {
    Q_OBJECT
public:
    explicit SkinText(QWidget* parent = nullptr);

    // The parent calls this after painting its background: keeps the part under this control.
    void captureBackground(const QPixmap& parentPicture);
    void setText(const QString& text) {
        m_text = text;
        update();
    }
    QString text() const { return m_text; }
    void setTextColor(const QColor& c) {
        m_textColor = c;
        update();
    }
    void setTextFont(const QString& name, int points) {
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
