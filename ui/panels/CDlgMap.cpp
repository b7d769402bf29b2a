#include "ui/panels/CDlgMap.h"

#include "core/tools/GpxExport.h"
#include "ui/bridge/BrowserHost.h"
#include "ui/panels/ConnectivityMonitor.h"
#include "ui/panels/render/PanelPainting.h"

#include <QCloseEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace {
const char* const kSeekHandler = "mapSeek";

QIcon floatIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(QColor(60, 60, 60), 1.5));
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRoundedRect(QRectF(0.75, 0.75, 14.5, 14.5), 2, 2);
    p.drawRect(QRectF(4.5, 4.5, 7, 7));
    p.drawLine(QPointF(9, 2.5), QPointF(13.5, 2.5));
    p.drawLine(QPointF(13.5, 2.5), QPointF(13.5, 7));
    return QIcon(pm);
}
} // namespace

CDlgMap::CDlgMap(QWidget* parent, ConnectivityMonitor* monitor) : QWidget(parent) {
    setObjectName(QStringLiteral("mapPanel"));
    setWindowTitle(PanelText("PANEL_MAP_TITLE", "Map"));
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_view = new BrowserHost(this);
    m_view->setObjectName(QStringLiteral("mapView")); // control 1249
    // The page is a local file; its tiles come from the tile server.
    m_view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    // Tile servers ask to be told which program fetches their tiles.
    QWebEngineProfile* profile = m_view->page()->profile();
    if (!profile->httpUserAgent().contains(QLatin1String("Quillent/")))
        profile->setHttpUserAgent(MapUserAgent(profile->httpUserAgent()));
    connect(m_view, &BrowserHost::pageLoaded, this, &CDlgMap::onPageLoaded);
    connect(m_view->Bridge(), &ScriptBridge::invoked, this,
            [this](int dispid, const QString& name, const QVariant& value) {
                if (dispid != kDispDoHandler || name != QLatin1String(kSeekHandler))
                    return;
                bool ok = false;
                const qint64 ms = value.toLongLong(&ok);
                if (!ok || ms < 0 || (m_durationMs > 0 && ms >= m_durationMs))
                    return;
                emit seekRequested(ms);
                if (m_session)
                    m_session->requestSeek(ms);
            });

    m_floatButton = new QToolButton(this);
    m_floatButton->setObjectName(QStringLiteral("mapFloatButton")); // control 1243
    m_floatButton->setIcon(floatIcon());
    m_floatButton->setIconSize(QSize(16, 16));
    m_floatButton->setAutoRaise(true);
    m_floatButton->setToolTip(PanelText("PANEL_MAP_FLOAT", "Float or dock the map"));
    m_floatButton->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    connect(m_floatButton, &QToolButton::clicked, this, &CDlgMap::dockToggleRequested);

    m_kind = StoredMapKind();
    m_startMonitorOnShow = !monitor;
    m_monitor = monitor ? monitor : new ConnectivityMonitor(this);
    if (m_startMonitorOnShow) {
        const MapHost host = MapHostFor(MapSourceFor(m_kind));
        m_monitor->setTarget(host.host, host.port);
    }
    connect(m_monitor, &ConnectivityMonitor::connectivityChanged, this, &CDlgMap::onConnectivity);
    m_connected = m_monitor->isConnected();
    placeButtons();
}

CDlgMap::~CDlgMap() = default;

void CDlgMap::setSession(PlaybackSession* session) {
    if (m_session)
        disconnect(m_session, nullptr, this, nullptr);
    m_session = session;
    if (!session)
        return;
    auto opened = [this] {
        m_gps = &m_session->trackData().gps;
        m_gpsTimes = &m_session->trackData().gpsTimesMs;
        m_durationMs = m_session->recording().trackRangeMs;
        m_lastIndex = -1;
        LoadMapPage();
        sendRoute();
    };
    connect(session, &PlaybackSession::recordingOpened, this, opened);
    connect(session, &PlaybackSession::recordingClosed, this, [this] {
        m_gps = nullptr;
        m_gpsTimes = nullptr;
        m_durationMs = 0;
        m_lastIndex = -1;
        resetCurrent();
        sendRoute();
    });
    connect(session, &PlaybackSession::positionChanged, this, &CDlgMap::SetPosition);
    if (session->isOpen())
        opened();
}

void CDlgMap::LoadMapPage() {
    // The page draws the route on its own base layer, so it loads whether or not tiles can be had.
    // A panel nobody sees costs no page and no connection checks.
    if (m_pageRequested || !isVisible())
        return;
    ReloadMapPage(StoredMapKind());
}

void CDlgMap::ReloadMapPage(int kind) {
    m_kind = kind == 2 ? 2 : 1;
    const MapHost host = MapHostFor(MapSourceFor(m_kind));
    m_monitor->setTarget(host.host, host.port);
    m_pageReady = false;
    m_pageRequested = true;
    m_lastIndex = -1;
    resetCurrent();
    m_view->Navigate(MapPageFor(m_kind));
}

void CDlgMap::onPageLoaded(bool ok) {
    m_pageReady = true;
    sendTileSource();
    m_view->CallScript(QStringLiteral("setOnline"), QStringList{m_connected ? "1" : "0"});
    sendRoute();
    if (m_session && m_session->isOpen())
        SetPosition(m_session->positionMs());
    emit pageLoaded(ok);
}

void CDlgMap::onConnectivity(bool connected) {
    m_connected = connected;
    if (m_pageReady)
        m_view->CallScript(QStringLiteral("setOnline"), QStringList{connected ? "1" : "0"});
}

void CDlgMap::sendTileSource() {
    const MapSource s = MapSourceFor(m_kind);
    m_view->CallScript(
        QStringLiteral("setTileSource"),
        QStringList{s.url, s.attribution, QString::number(s.minZoom), QString::number(s.maxZoom), s.coords});
}

void CDlgMap::sendRoute() {
    if (!m_pageReady)
        return; // sent when the page has loaded
    QJsonArray points;
    const SampleTimeline samples = timeline();
    const int count = m_gps ? static_cast<int>(m_gps->size()) : 0;
    const int drawn = static_cast<int>(samples.drawnCount()); // none past the last picture
    for (int i = 0; i < drawn && m_durationMs > 0; ++i) {
        const CGpsData& s = (*m_gps)[i];
        if (!s.valid)
            continue;
        // The first position whose sample is this one, so a click on it seeks to it exactly.
        const qint64 ms = samples.byRecordTime() ? (i > 0 ? samples.timeOf(i - 1) : 0)
                                                 : (int64_t(i) * m_durationMs + count - 1) / count;
        points.append(QJsonArray{NmeaToDegrees(s.latitude), NmeaToDegrees(s.longitude), ms});
    }
    m_view->CallScript(QStringLiteral("setRoute"),
                       QStringList{QString::fromUtf8(QJsonDocument(points).toJson(QJsonDocument::Compact))});
}

SampleTimeline CDlgMap::timeline() const {
    if (!m_gps)
        return {};
    return m_gpsTimes ? SampleTimeline(*m_gpsTimes, m_gps->size(), m_durationMs)
                      : SampleTimeline({}, m_gps->size(), m_durationMs);
}

void CDlgMap::resetCurrent() {
    m_latitude = m_longitude = m_speed = 0;
    m_timeText.clear();
}

void CDlgMap::SetPosition(int64_t positionMs) {
    if (!m_gps || m_gps->empty() || m_durationMs <= 0) {
        resetCurrent();
        return;
    }
    const int index = timeline().indexAt(positionMs);
    if (index < 0) {
        resetCurrent();
        return;
    }
    // GPS samples come once a second and the clock ticks ten times: call the page on changes only.
    if (index == m_lastIndex)
        return;
    const CGpsData& s = (*m_gps)[index];
    m_latitude = NmeaToDegrees(s.latitude);
    m_longitude = NmeaToDegrees(s.longitude);
    m_speed = s.speed;
    m_timeText = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", s.year + 2000, s.month, s.day, s.hour,
                                   s.minute, s.second);
    if (!m_pageReady || !isVisible())
        return;
    m_lastIndex = index;
    ++m_markerCalls;
    m_view->CallScript(QStringLiteral("DrawCurrent"), QStringList{QString::asprintf("%lf", m_latitude),
                                                                  QString::asprintf("%lf", m_longitude)});
}

void CDlgMap::ResizeMap() {
    if (m_pageReady)
        m_view->CallScript(QStringLiteral("resizeScript"));
}

void CDlgMap::ClearMapPath() {
    m_lastIndex = -1; // the next position is drawn even when its sample did not change
    if (m_pageReady)
        m_view->CallScript(QStringLiteral("clearPath"));
}

void CDlgMap::placeButtons() {
    m_view->setGeometry(rect());
    m_floatButton->setGeometry(width() - 21, 5, 16, 16);
    m_floatButton->setVisible(!isFloating());
    m_floatButton->raise();
}

void CDlgMap::showEvent(QShowEvent*) {
    if (m_startMonitorOnShow) {
        m_startMonitorOnShow = false;
        m_monitor->start();
    }
    if (m_session && m_session->isOpen()) {
        LoadMapPage();
        m_lastIndex = -1;
        SetPosition(m_session->positionMs());
    }
}

void CDlgMap::resizeEvent(QResizeEvent*) {
    placeButtons();
    ResizeMap();
}

void CDlgMap::closeEvent(QCloseEvent* event) {
    // Closing the floating map returns it to its docked place.
    event->ignore();
    if (isFloating())
        emit dockToggleRequested();
}

void CDlgMap::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange) {
        setMinimumSize(isWindow() ? QSize(kMinWidth, kMinHeight) : QSize(0, 0));
        placeButtons();
    }
    if (event->type() == QEvent::WindowStateChange && isFloating() && (windowState() & Qt::WindowMinimized)) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        emit dockToggleRequested();
    }
}

void CDlgMap::keyPressEvent(QKeyEvent* event) {
    if (isFloating() &&
        (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit dockToggleRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
