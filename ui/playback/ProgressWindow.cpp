#include "ui/playback/ProgressWindow.h"

#include "core/config/ViewerConfig.h"

#include <QPainter>

namespace {
constexpr const char* kBitmapCaption = "Loading...";
// The caption's band in the bitmap, inside its frame.
constexpr QRect kCaptionBand(3, 80, ProgressWindow::kWidth - 6, 21);
} // namespace

static void initOpenResources() {
    Q_INIT_RESOURCE(open);
}

ProgressWindow::ProgressWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), m_owner(owner) {
    initOpenResources();
    setObjectName(QStringLiteral("progress317"));
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_picture.load(QStringLiteral(":/open/busy385.png"));
}

void ProgressWindow::follow(bool opening) {
    if (!opening) {
        hide();
        return;
    }
    if (m_owner) {
        const QRect ownerRect = m_owner->frameGeometry();
        move(ownerRect.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    show();
    raise();
}

void ProgressWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
    painter.drawPixmap(0, 0, m_picture);
    const QString text = caption();
    if (text == QLatin1String(kBitmapCaption))
        return;
    // Another language's text goes over the bitmap's own: its background is a vertical
    // gradient, so one column of it stretched across the band covers the English text.
    painter.drawPixmap(kCaptionBand, m_picture,
                       QRect(kCaptionBand.left(), kCaptionBand.top(), 1, kCaptionBand.height()));
    QFont font = painter.font();
    font.setPixelSize(15);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(230, 230, 230));
    painter.drawText(kCaptionBand, Qt::AlignCenter | Qt::TextSingleLine, text);
}

QString ProgressWindow::caption() {
    const std::string text = LString("MAIN_TEXT_LOADING");
    return text.empty() ? QString::fromLatin1(kBitmapCaption) : QString::fromStdString(text);
}
