#include "ui/map/MapPanel.h"

#include "core/config/Settings.h"
#include "core/maps/MapTileService.h"
#include "core/maps/TilePrefetch.h"
#include "core/tools/GpxExport.h"
#include "ui/page/BrowserHost.h"
#include "ui/map/ConnectivityMonitor.h"
#include "ui/map/MapTileScheme.h"
#include "ui/render/PanelPainting.h"

#include <QCloseEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QPainter>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <algorithm>

namespace {
const char* const kSeekHandler = "mapSeek";
const char* const kKeepHandler = "mapKeep";
constexpr int kMessageMs = 15000; // how long a source's failure stays in the status line
// The zooms a recording's map is kept at: the route fitted (a city's streets) down to the houses.
constexpr int kKeepFromZoom = 12;
constexpr int kKeepToZoom = 17;

int settingNumber(const char* name, int fallback, int least, int most) {
    bool ok = false;
    const int v = QString::fromStdString(ReadSetting(name)).toInt(&ok);
    return ok ? std::clamp(v, least, most) : fallback;
}

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

MapPanel::MapPanel(QWidget* parent, ConnectivityMonitor* monitor) : QWidget(parent) {
    setObjectName(QStringLiteral("mapPanel"));
    setWindowTitle(panelText("PANEL_MAP_TITLE", "Map"));
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
    connect(m_view, &BrowserHost::pageLoaded, this, &MapPanel::onPageLoaded);
    connect(m_view->bridge(), &ScriptBridge::invoked, this,
            [this](int dispid, const QString& name, const QVariant& value) {
                if (dispid == kDispDoHandler && name == QLatin1String(kKeepHandler)) {
                    keepForOffline();
                    return;
                }
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
    m_floatButton->setToolTip(panelText("PANEL_MAP_FLOAT", "Float or dock the map"));
    m_floatButton->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    connect(m_floatButton, &QToolButton::clicked, this, &MapPanel::dockToggleRequested);

    m_kind = StoredMapKind();
    m_startMonitorOnShow = !monitor;
    m_monitor = ConnectivityMonitor::forMapKind(m_kind, monitor, this);
    connect(m_monitor, &ConnectivityMonitor::connectivityChanged, this, &MapPanel::onConnectivity);
    m_connected = m_monitor->isConnected();

    MapTileService& tiles = MapTileService::instance();
    connect(&tiles, &MapTileService::tileServed, this, [this](int kind, const QString& source, bool offline) {
        if (kind != m_kind || (source == m_shownSource && offline == m_shownOffline))
            return;
        m_shownSource = source;
        m_shownOffline = offline;
        sendStatus();
    });
    m_messageTimer = new QTimer(this);
    m_messageTimer->setSingleShot(true);
    connect(m_messageTimer, &QTimer::timeout, this, [this] {
        m_message.clear();
        sendStatus();
    });
    connect(&tiles, &MapTileService::message, this, [this](const QString& text) {
        m_message = text;
        m_messageTimer->start(kMessageMs);
        sendStatus();
    });
    placeButtons();
}

MapPanel::~MapPanel() = default;

void MapPanel::setSession(PlaybackSession* session) {
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
        takeCardMaps();
        loadMapPage();
        sendRoute();
    };
    connect(session, &PlaybackSession::recordingOpened, this, opened);
    connect(session, &PlaybackSession::recordingClosed, this, [this] {
        m_gps = nullptr;
        m_gpsTimes = nullptr;
        m_durationMs = 0;
        m_lastIndex = -1;
        resetCurrent();
        if (m_keep)
            m_keep->cancel();
        sendRoute();
        sendStatus();
    });
    connect(session, &PlaybackSession::positionChanged, this, &MapPanel::setPosition);
    if (session->isOpen())
        opened();
}

void MapPanel::loadMapPage() {
    // The page draws the route on its own base layer, so it loads whether or not tiles can be had.
    // A panel nobody sees costs no page and no connection checks.
    if (m_pageRequested || !isVisible())
        return;
    reloadMapPage(StoredMapKind());
}

void MapPanel::reloadMapPage(int kind) {
    m_kind = kind == 2 ? 2 : 1;
    PrepareMapTiles();
    MapTileService::instance().setReachable(m_connected);
    m_shownSource.clear();
    const MapHost host = MapHostFor(MapSourceFor(m_kind));
    m_monitor->setTarget(host.host, host.port);
    m_pageReady = false;
    m_pageRequested = true;
    m_lastIndex = -1;
    resetCurrent();
    m_view->navigate(MapPageFor(m_kind));
}

void MapPanel::onPageLoaded(bool ok) {
    m_pageReady = true;
    sendTileSource();
    m_view->callScript(QStringLiteral("setOnline"), QStringList{m_connected ? "1" : "0"});
    sendStatus();
    sendRoute();
    if (m_session && m_session->isOpen())
        setPosition(m_session->positionMs());
    emit pageLoaded(ok);
}

void MapPanel::onConnectivity(bool connected) {
    m_connected = connected;
    // While the tile server cannot be reached the tiles come from the files and the cache only.
    MapTileService::instance().setReachable(connected);
    if (m_pageReady)
        m_view->callScript(QStringLiteral("setOnline"), QStringList{connected ? "1" : "0"});
    sendStatus();
}

void MapPanel::takeCardMaps() {
    // Map files that came with the recording (at the card's root or beside it) join the chosen ones.
    const QStringList found =
        m_session ? MapFilesBeside(QString::fromStdString(m_session->recording().path.string())) : QStringList();
    SetCardMapFiles(found);
    const QStringList before = MapTileService::instance().filePaths();
    PrepareMapTiles();
    if (m_pageReady && MapTileService::instance().filePaths() != before)
        sendTileSource();
}

void MapPanel::sendTileSource() {
    m_view->callScript(QStringLiteral("setTileSource"), MapTileSourceArguments(m_kind));
}

QString MapPanel::statusText() const {
    QString text = m_connected ? panelText("MAP_STATUS_ONLINE", "Online")
                               : panelText("MAP_STATUS_OFFLINE", "Offline");
    text += QStringLiteral(" \u00b7 ");
    if (!m_shownSource.isEmpty()) {
        text += m_shownSource;
        const bool file = std::any_of(MapTileService::instance().files().begin(),
                                      MapTileService::instance().files().end(),
                                      [&](const auto& f) { return f->name() == m_shownSource; });
        if (m_shownOffline && !file)
            text += panelText("MAP_STATUS_KEPT", " (kept tiles)");
    } else if (m_connected) {
        text += MapSourceName(MapSourceFor(m_kind));
    } else {
        text += panelText("MAP_STATUS_NO_TILES", "no map tiles: outlines only");
    }
    if (m_keep && m_keep->isRunning())
        text += QStringLiteral(" \u00b7 ") + panelText("MAP_KEEPING", "keeping the map for offline use: %1 / %2 tiles")
                                                 .arg(m_keep->done())
                                                 .arg(m_keep->total());
    else if (!m_keepResult.isEmpty())
        text += QStringLiteral(" \u00b7 ") + m_keepResult;
    if (!m_message.isEmpty())
        text += QStringLiteral(" \u00b7 ") + m_message;
    return text;
}

void MapPanel::sendStatus() {
    if (!m_pageReady)
        return;
    QString keep;
    if (m_keep && m_keep->isRunning())
        keep = panelText("MAP_KEEP_STOP", "Stop keeping");
    else if (m_connected && m_gps && !m_gps->empty() && !MapSourceFor(m_kind).url.isEmpty())
        keep = panelText("MAP_KEEP", "Keep this recording's map for offline use");
    m_view->callScript(QStringLiteral("setMapStatus"), QStringList{statusText(), keep});
}

void MapPanel::keepForOffline() {
    if (m_keep && m_keep->isRunning()) {
        m_keep->cancel();
        return;
    }
    if (!m_gps || m_gps->empty())
        return;
    if (!m_connected) {
        m_keepResult = panelText("MAP_KEEP_OFFLINE", "the map cannot be kept while offline");
        sendStatus();
        return;
    }
    std::vector<std::pair<double, double>> route;
    for (const CGpsData& s : *m_gps)
        if (s.valid)
            route.emplace_back(NmeaToDegrees(s.latitude), NmeaToDegrees(s.longitude));
    const MapSource source = MapSourceFor(m_kind);
    const int cap = settingNumber("mapKeepTiles", TilePrefetch::kDefaultCap, 1, 100000);
    const auto tiles = TilePrefetch::tilesAlong(route, std::max(kKeepFromZoom, source.minZoom),
                                                std::min(kKeepToZoom, source.maxZoom), cap);
    if (!m_keep) {
        m_keep = new TilePrefetch(MapTileService::instance(), m_kind, this);
        connect(m_keep, &TilePrefetch::progress, this, [this] { sendStatus(); });
        connect(m_keep, &TilePrefetch::finished, this, [this](int kept, int failed, bool cancelled) {
            m_keepResult = cancelled ? panelText("MAP_KEEP_STOPPED", "keeping stopped after %1 tiles").arg(kept)
                           : failed  ? panelText("MAP_KEEP_PART", "%1 tiles kept for offline use, %2 failed")
                                          .arg(kept)
                                          .arg(failed)
                                     : panelText("MAP_KEEP_DONE", "%1 tiles kept for offline use").arg(kept);
            sendStatus();
        });
    }
    m_keep->setPauseMs(settingNumber("mapKeepPause", TilePrefetch::kDefaultPauseMs, 0, 60000));
    m_keepResult.clear();
    m_keep->start(tiles);
}

void MapPanel::sendRoute() {
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
    m_view->callScript(QStringLiteral("setRoute"),
                       QStringList{QString::fromUtf8(QJsonDocument(points).toJson(QJsonDocument::Compact))});
}

SampleTimeline MapPanel::timeline() const {
    if (!m_gps)
        return {};
    return m_gpsTimes ? SampleTimeline(*m_gpsTimes, m_gps->size(), m_durationMs)
                      : SampleTimeline({}, m_gps->size(), m_durationMs);
}

void MapPanel::resetCurrent() {
    m_latitude = m_longitude = m_speed = 0;
    m_timeText.clear();
}

void MapPanel::setPosition(int64_t positionMs) {
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
    m_view->callScript(QStringLiteral("DrawCurrent"), QStringList{QString::asprintf("%lf", m_latitude),
                                                                  QString::asprintf("%lf", m_longitude)});
}

void MapPanel::resizeMap() {
    if (m_pageReady)
        m_view->callScript(QStringLiteral("resizeScript"));
}

void MapPanel::clearMapPath() {
    m_lastIndex = -1; // the next position is drawn even when its sample did not change
    if (m_pageReady)
        m_view->callScript(QStringLiteral("clearPath"));
}

void MapPanel::placeButtons() {
    m_view->setGeometry(rect());
    m_floatButton->setGeometry(width() - 21, 5, 16, 16);
    m_floatButton->setVisible(!isFloating());
    m_floatButton->raise();
}

void MapPanel::showEvent(QShowEvent*) {
    if (m_startMonitorOnShow) {
        m_startMonitorOnShow = false;
        m_monitor->start();
    }
    if (m_session && m_session->isOpen()) {
        loadMapPage();
        m_lastIndex = -1;
        setPosition(m_session->positionMs());
    }
}

void MapPanel::resizeEvent(QResizeEvent*) {
    placeButtons();
    resizeMap();
}

void MapPanel::closeEvent(QCloseEvent* event) {
    // Closing the floating map returns it to its docked place.
    event->ignore();
    if (isFloating())
        emit dockToggleRequested();
}

void MapPanel::changeEvent(QEvent* event) {
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

void MapPanel::keyPressEvent(QKeyEvent* event) {
    if (isFloating() &&
        (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        emit dockToggleRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
