#include "ui/panels/GsensorPopup.h"

#include "ui/widgets/SkinButton.h"
#include "ui/widgets/OffscreenCanvas.h"
#include "ui/render/PanelPainting.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

GsensorPopup::GsensorPopup(QWidget* parent, int closeButtonId)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("gsensorWindow%1").arg(closeButtonId));
    setWindowTitle(panelText("PANEL_GSENSOR_TITLE", "G-Sensor"));
    setAttribute(Qt::WA_OpaquePaintEvent); // the background is never erased separately
    resize(GsensorHistoryRenderer::kWidth, GsensorHistoryRenderer::kHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_close = new SkinButton(this);
    m_close->setObjectName(QStringLiteral("close%1").arg(closeButtonId));
    m_close->setBitmaps(145, 147, 146);
    m_close->setGeometry(476, 8, 65, 28);
    connect(m_close, &QAbstractButton::clicked, this, &GsensorPopup::closed);
}

void GsensorPopup::setSession(PlaybackSession* session) {
    if (m_session)
        disconnect(m_session, nullptr, this, nullptr);
    m_session = session;
    if (!session)
        return;
    connect(session, &PlaybackSession::recordingOpened, this, [this] {
        hide();
        update();
    });
    // Idle (Esc, the end of the list, a pulled card): nothing to show, so nothing stays open.
    connect(session, &PlaybackSession::recordingClosed, this, &QWidget::hide);
}

void GsensorPopup::paintEvent(QPaintEvent*) {
    QPainter target(this);
    OffscreenCanvas mem(target, rect(), false);
    static const std::vector<RawGsensorSample> kNone;
    const std::vector<RawGsensorSample>& samples =
        m_session && m_session->isOpen() ? m_session->trackData().store.gsensor() : kNone;
    m_renderer.paint(mem.painter(), size(), samples);
}

void GsensorPopup::mousePressEvent(QMouseEvent* event) {
    // Anywhere but the close button moves the window.
    if (event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}
