#include "ui/trips/TripsWindow.h"

#include "core/common/FileReplace.h"
#include "core/config/ViewerConfig.h"
#include "core/maps/MapTileService.h"
#include "ui/page/BrowserHost.h"
#include "ui/map/ConnectivityMonitor.h"
#include "ui/map/MapSource.h"
#include "ui/map/MapTileScheme.h"
#include "ui/recordings/ListController.h"
#include "ui/trips/RecordingJump.h"
#include "ui/trips/TripsPageData.h"
#include "ui/widgets/WindowPlacement.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <algorithm>
#include <cmath>
#include <utility>

namespace fs = std::filesystem;

namespace {
const char* const kPage = "trips.htm";
constexpr int kReloadWhileIndexingMs = 3000; // trips found so far appear while the index grows
constexpr double kMaxRadiusM = 5000;

QString text(const char* id, const char* fallback) {
    const std::string t = LString(id);
    return QString::fromStdString(t.empty() ? std::string(fallback) : t);
}
} // namespace

TripsWindow::TripsWindow(AppContext& context, QWidget* parent, ConnectivityMonitor* monitor)
    : QWidget(parent, Qt::Window), m_context(context) {
    setObjectName(QStringLiteral("tripsWindow"));
    setWindowTitle(text("TRIPS_TITLE", "Trips"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(FitToScreen(QSize(1240, 720), AvailableGeometryOf(parent)));

    m_view = new BrowserHost(this);
    m_view->setObjectName(QStringLiteral("tripsView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    QWebEngineProfile* profile = m_view->page()->profile();
    if (!profile->httpUserAgent().contains(QLatin1String("Quillent/")))
        profile->setHttpUserAgent(MapUserAgent(profile->httpUserAgent()));
    connect(m_view, &BrowserHost::pageLoaded, this, [this](bool) {
        m_pageReady = true;
        sendSetup();
        if (m_tripsPending || !m_card.empty())
            sendTrips();
    });
    connect(m_view->bridge(), &ScriptBridge::invoked, this,
            [this](int dispid, const QString& name, const QVariant& value) {
                if (dispid == kDispDoHandler)
                    onHandler(name, commandValueToString(value));
            });
    connect(m_view, &QWebEngineView::loadStarted, this, [this] { m_pageReady = false; });

    m_jump = new RecordingJump(context, this);
    connect(m_jump, &RecordingJump::arrived, this, [this](const QString& path, qint64 ms) {
        const QString at =
            QStringLiteral("%1:%2").arg(ms / 60000).arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
        setStatus(text("TRIPS_MSG_OPENED", "%1 opened at %2").arg(QFileInfo(path).fileName(), at));
        // The player comes to the front to show that moment; the trips button brings this back.
        if (QWidget* player = m_context.parent ? m_context.parent->window() : nullptr) {
            player->raise();
            player->activateWindow();
        }
    });
    m_indexer = new BackgroundIndexer(this);
    connect(m_indexer, &BackgroundIndexer::progress, this, &TripsWindow::onProgress);
    connect(m_indexer, &BackgroundIndexer::finished, this, &TripsWindow::onIndexed);

    m_kind = StoredMapKind();
    m_startMonitorOnShow = !monitor;
    m_monitor = ConnectivityMonitor::forMapKind(m_kind, monitor, this);
    connect(m_monitor, &ConnectivityMonitor::connectivityChanged, this, [this](bool connected) {
        MapTileService::instance().setReachable(connected);
        if (m_pageReady)
            m_view->callScript(QStringLiteral("setOnline"), QStringList{connected ? "1" : "0"});
    });

    PrepareMapTiles();
    m_view->navigate(QString::fromLatin1(kPage));
}

TripsWindow::~TripsWindow() {
    m_indexer->cancel();
}

bool TripsWindow::isIndexing() const {
    return m_indexer->isRunning();
}

void TripsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_startMonitorOnShow) {
        m_startMonitorOnShow = false;
        m_monitor->start();
    }
}

void TripsWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TripsWindow::openIndex() {
    if (m_index)
        return true;
    m_settings = ReadTripSettings();
    std::string error, notice;
    m_index = OpenTripIndex(m_settings, &error, &notice);
    if (!notice.empty())
        tell(QString::fromStdString(notice), false);
    if (!m_index) {
        setStatus(text("TRIPS_MSG_NO_INDEX", "The trips index cannot be opened: %1")
                      .arg(QString::fromStdString(error)));
        return false;
    }
    return true;
}

void TripsWindow::showCard(const fs::path& card) {
    const fs::path key = fs::path(CardKey(card));
    const bool same = key == m_card;
    m_card = key;
    // The card's own map files (the demo card's streets) join the chosen ones, as for its recordings.
    SetCardMapFiles(MapFilesBeside(QString::fromStdString((m_card / "x" / "x").string())));
    PrepareMapTiles();
    if (m_pageReady)
        sendSetup();
    if (!same || m_recordings.empty())
        loadFromIndex();
    startIndexing();
}

void TripsWindow::refresh() {
    if (!m_card.empty() && !isIndexing())
        startIndexing();
}

void TripsWindow::cancelIndexing() {
    m_rerun = false;
    m_indexer->cancel();
}

void TripsWindow::loadFromIndex() {
    m_loadClock.start();
    m_sinceLoad.start();
    m_recordings.clear();
    m_trips.clear();
    if (!m_card.empty() && openIndex()) {
        m_recordings = m_index->recordings(m_card.string());
        m_trips = BuildTrips(m_recordings, m_settings.gapMs);
    }
    sendTrips();
}

void TripsWindow::sendTrips() {
    if (!m_pageReady) {
        m_tripsPending = true;
        return;
    }
    m_tripsPending = false;
    const QString json = QString::fromUtf8(tripsPageJson(m_recordings, m_trips));
    const qint64 started = m_loadClock.isValid() ? m_loadClock.elapsed() : 0;
    m_view->callScript(QStringLiteral("showTrips"), QStringList{json},
                       [this, started](const QVariant& drawn) {
                           const qint64 total = m_loadClock.isValid() ? m_loadClock.elapsed() : started;
                           emit tripsShown(drawn.toInt(), total);
                       });
}

void TripsWindow::sendSetup() {
    if (!m_pageReady)
        return;
    m_view->callScript(QStringLiteral("setLanguage"),
                       QStringList{QString::fromStdString(GetInstallerLanguage())});
    m_view->callScript(QStringLiteral("setTileSource"), MapTileSourceArguments(m_kind));
    m_view->callScript(QStringLiteral("setOnline"), QStringList{m_monitor->isConnected() ? "1" : "0"});
    m_view->callScript(QStringLiteral("setCard"), QStringList{QString::fromStdString(m_card.string())});
    if (!m_status.isEmpty())
        m_view->callScript(QStringLiteral("setProgress"), QStringList{"0", "0", m_status});
}

void TripsWindow::startIndexing() {
    if (m_card.empty() || !openIndex())
        return;
    if (isIndexing()) {
        if (m_indexingCard == m_card)
            return; // already under way
        m_indexer->cancel();
        m_rerun = true; // its end starts the run of this card
        return;
    }
    IndexRunOptions options;
    options.thresholds = m_settings.thresholds;
    m_status.clear();
    if (!m_indexer->start(m_index->location(), m_card, options))
        return;
    m_indexingCard = m_card;
    if (m_pageReady)
        m_view->callScript(QStringLiteral("setProgress"), QStringList{"0", "0", QString()});
}

void TripsWindow::onProgress(int done, int total, const QString& name) {
    if (m_pageReady)
        m_view->callScript(QStringLiteral("setProgress"),
                           QStringList{QString::number(done), QString::number(total), name});
    if (m_sinceLoad.isValid() && m_sinceLoad.elapsed() >= kReloadWhileIndexingMs)
        loadFromIndex();
}

void TripsWindow::onIndexed(const IndexRunResult& result) {
    QString status;
    if (!result.message.empty())
        status = QString::fromStdString(result.message);
    else if (!result.problems.empty())
        status = text("TRIPS_MSG_PROBLEMS", "%1 recording(s) could not be read.").arg(result.problems.size());
    m_status = status;
    if (m_pageReady)
        m_view->callScript(QStringLiteral("setProgress"), QStringList{"-1", "-1", status});
    if (result.read > 0 || result.removed > 0 || m_recordings.size() != size_t(result.found))
        loadFromIndex();
    emit indexingFinished(result.ok);
    if (std::exchange(m_rerun, false))
        startIndexing();
}

void TripsWindow::onHandler(const QString& name, const QString& value) {
    if (name == QLatin1String("tripsOpen"))
        openAt(value);
    else if (name == QLatin1String("tripsNear"))
        near(value);
    else if (name == QLatin1String("tripsExport"))
        exportTrips(value);
    else if (name == QLatin1String("tripsCancel"))
        cancelIndexing();
    else if (name == QLatin1String("tripsRefresh"))
        refresh();
    else if (name == QLatin1String("tripsChoose"))
        chooseCard();
}

void TripsWindow::openAt(const QString& value) {
    const QStringList parts = value.split(QLatin1Char(','));
    bool okIndex = false, okMs = false;
    const int index = parts.value(0).toInt(&okIndex);
    const double ms = parts.value(1).toDouble(&okMs);
    if (!okIndex || !okMs || index < 0 || size_t(index) >= m_recordings.size() || !std::isfinite(ms))
        return;
    const IndexedRecording& r = m_recordings[size_t(index)];
    if (!m_jump->open(r.path, int64_t(std::clamp(ms, 0.0, double(std::max<int64_t>(r.lengthMs, 0)))), m_card))
        setStatus(
            text("TRIPS_MSG_NOT_OPENED", "%1 cannot be opened now.").arg(QString::fromStdString(r.name)));
}

void TripsWindow::near(const QString& value) {
    const QStringList parts = value.split(QLatin1Char(','));
    bool a = false, b = false, c = false;
    const double lat = parts.value(0).toDouble(&a), lon = parts.value(1).toDouble(&b),
                 radius = parts.value(2).toDouble(&c);
    if (!a || !b || !c || !openIndex() || std::abs(lat) > 90 || std::abs(lon) > 180 || !(radius > 0))
        return;
    const auto hits = m_index->recordingsNear(lat, lon, std::min(radius, kMaxRadiusM), m_card.string());
    if (m_pageReady)
        m_view->callScript(QStringLiteral("showNear"),
                           QStringList{QString::fromUtf8(nearPageJson(hits, m_recordings))});
}

void TripsWindow::exportTrips(const QString& value) {
    const auto request = parseTripsExport(value, m_trips.size());
    if (!request)
        return;
    if (request->trips.empty()) {
        tell(text("TRIPS_MSG_NOTHING", "No trips are shown: nothing to save."), true);
        return;
    }
    const bool gpx = request->format == TripsExportRequest::Format::Gpx;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposed = QDir(folder.isEmpty() ? QDir::homePath() : folder)
                                 .filePath(gpx ? QStringLiteral("trips.gpx") : QStringLiteral("trips.csv"));
    const QString filter = gpx ? QStringLiteral("GPX (*.gpx)") : QStringLiteral("CSV (*.csv)");
    const QString path = m_chooseSave ? m_chooseSave(proposed, filter)
                                      : QFileDialog::getSaveFileName(this, windowTitle(), proposed, filter);
    if (path.isEmpty())
        return;
    const TripsExportData data = selectForExport(*request, m_trips, m_recordings);
    const std::string bytes =
        gpx ? TripsGpx(data.trips, data.recordings) : TripsCsv(data.trips, data.recordings);
    const std::string failure = ReplaceFileContents(path.toStdString(), bytes);
    if (!failure.empty())
        tell(text("TRIPS_MSG_SAVE_FAILED", "The file was not saved: %1").arg(QString::fromStdString(failure)),
             true);
    else
        tell(text("TRIPS_MSG_SAVED", "%1 trip(s) saved to %2").arg(data.trips.size()).arg(path), false);
}

void TripsWindow::chooseCard() {
    const QString folder = m_chooseFolder
                               ? m_chooseFolder()
                               : QFileDialog::getExistingDirectory(this, windowTitle(), QDir::homePath());
    if (!folder.isEmpty())
        showCard(folder.toStdString());
}

void TripsWindow::setStatus(const QString& status) {
    m_status = status;
    if (m_pageReady)
        m_view->callScript(QStringLiteral("setProgress"), QStringList{"-1", "-1", status});
}

void TripsWindow::tell(const QString& message, bool error) {
    if (m_tell) {
        m_tell(message, error);
        return;
    }
    auto* box = new QMessageBox(error ? QMessageBox::Warning : QMessageBox::Information, windowTitle(),
                                message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
