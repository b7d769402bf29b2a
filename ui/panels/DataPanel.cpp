#include "ui/panels/DataPanel.h"

#include "ui/playback/PlaybackSession.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

DataPanel::DataPanel(const QString& title, QWidget* parent) : QWidget(parent) {
    setWindowTitle(title);
    // Every pixel is painted from the cached background: no erase, no flicker on the 100 ms ticks.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

void DataPanel::setSession(PlaybackSession* session) {
    if (m_session)
        disconnect(m_session, nullptr, this, nullptr);
    m_session = session;
    if (!session)
        return;
    connect(session, &PlaybackSession::recordingOpened, this, [this] {
        recordingOpened(*m_session);
        m_positionMs = storedPosition(m_session->positionMs());
        rebuildBackground();
    });
    connect(session, &PlaybackSession::recordingClosed, this, [this] {
        recordingClosed();
        m_positionMs = 0;
        rebuildBackground();
    });
    connect(session, &PlaybackSession::positionChanged, this, &DataPanel::setPosition);
    if (session->isOpen())
        recordingOpened(*session);
    else
        recordingClosed();
    m_positionMs = storedPosition(session->positionMs());
    rebuildBackground();
}

void DataPanel::setPosition(int64_t positionMs) {
    const int64_t stored = storedPosition(positionMs);
    if (stored == m_positionMs)
        return;
    m_positionMs = stored;
    update(tickRect());
}

void DataPanel::rebuildBackground() {
    m_backgroundValid = false;
    update();
}

void DataPanel::render(QPainter& p, QSize size) const {
    paintBackground(p, size);
    paintOverlay(p, size, m_positionMs);
}

void DataPanel::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    if (!m_backgroundValid || m_background.size() != pixels) {
        m_background = QPixmap(pixels);
        m_background.setDevicePixelRatio(ratio);
        QPainter bp(&m_background);
        paintBackground(bp, size());
        m_backgroundValid = true;
        ++m_backgroundBuilds;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
    paintOverlay(p, size(), m_positionMs);
}

void DataPanel::resizeEvent(QResizeEvent*) {
    rebuildBackground();
}

void DataPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const auto position = seekAt(event->position().toPoint())) {
            emit seekRequested(*position);
            if (m_session)
                m_session->requestSeek(*position);
        }
    }
    QWidget::mousePressEvent(event);
}

void DataPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit dockToggleRequested();
    QWidget::mouseDoubleClickEvent(event);
}

void DataPanel::closeEvent(QCloseEvent* event) {
    // Closing a floating panel docks it again rather than losing it.
    event->ignore();
    emit dockToggleRequested();
}

void DataPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange)
        setMinimumSize(isWindow() ? QSize(kMinWidth, kMinHeight) : QSize(0, 0));
    if (event->type() == QEvent::WindowStateChange && isFloating() && (windowState() & Qt::WindowMinimized)) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        emit dockToggleRequested();
    }
}

void DataPanel::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc were the dialog's OK and Cancel: they dock a floating panel.
    if (isFloating() &&
        (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit dockToggleRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
