#include "ui/dialogs/CProgressDlg.h"

#include "core/config/ViewerConfig.h"

#include <QPainter>

namespace {
constexpr const char* kBitmapCaption = "Loading...";
// The caption's band in the bitmap, inside its frame.
constexpr QRect kCaptionBand(3, 80, CProgressDlg::kWidth - 6, 21);
} // namespace

static void initOpenResources() {
    Q_INIT_RESOURCE(open);
}

CProgressDlg::CProgressDlg(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), m_owner(owner) {
    initOpenResources();
    setObjectName(QStringLiteral("progress317"));
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_picture.load(QStringLiteral(":/open/busy385.png"));
    m_timer.setObjectName(QString::number(kTimerId));
    m_timer.setInterval(kDelayMs);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CProgressDlg::onTimer);
}

void CProgressDlg::start(int job) {
    if (m_stopped)
        return;
    if (m_owner) {
        const QRect ownerRect = m_owner->frameGeometry();
        move(ownerRect.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    m_job = job;
    show();
    raise();
    m_timer.start();
}

void CProgressDlg::finish() {
    hide();
}

void CProgressDlg::stop() {
    m_stopped = true;
    m_timer.stop();
    finish();
}

void CProgressDlg::onTimer() {
    if (m_stopped)
        return;
    emit openNow(m_job);
}

void CProgressDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
    painter.drawPixmap(0, 0, m_picture);
    const QString caption = Caption();
    if (caption == QLatin1String(kBitmapCaption))
        return;
    // Another language's caption goes over the bitmap's own: its background is a vertical
    // gradient, so one column of it stretched across the band covers the English text.
    painter.drawPixmap(kCaptionBand, m_picture,
                       QRect(kCaptionBand.left(), kCaptionBand.top(), 1, kCaptionBand.height()));
    QFont font = painter.font();
    font.setPixelSize(15);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(230, 230, 230));
    painter.drawText(kCaptionBand, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

QString CProgressDlg::Caption() {
    const std::string text = LString("MAIN_TEXT_LOADING");
    return text.empty() ? QString::fromLatin1(kBitmapCaption) : QString::fromStdString(text);
}
