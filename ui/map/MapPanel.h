// The map panel: a skin map page in a web view showing the open recording's route over the
// offline base layer (tiles on top while the tile server can be reached), with the vehicle's
// marker moved to the playback position. A click on the route seeks. Docked or floated by the
// main window; its float button asks for the change.
#pragma once

#include "core/trackdata/TrackData.h"
#include "ui/map/MapSource.h"
#include "ui/playback/PlaybackSession.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <vector>

class BrowserHost;
class ConnectivityMonitor;
class QToolButton;
class TilePrefetch;

class MapPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 400; // while floating
    static constexpr int kMinHeight = 120;

    // `monitor`: the connection check to use (tests pass their own); nullptr makes one that
    // watches the chosen tile server.
    explicit MapPanel(QWidget* parent = nullptr, ConnectivityMonitor* monitor = nullptr);
    ~MapPanel() override;

    // Follows `session` (nullptr: none): its recording's GPS samples become the route, its
    // position moves the marker, and route clicks ask it for seeks.
    void setSession(PlaybackSession* session);

    // Requests the chosen map page once (a page load clears the marker and the path). A hidden
    // panel loads it when it is first shown.
    void loadMapPage();
    // Loads the page of `kind` whatever was loaded before (the map selection).
    void reloadMapPage(int kind);
    void setPosition(int64_t positionMs);
    void resizeMap();
    void clearMapPath();

    bool isFloating() const { return isWindow(); }
    bool isConnected() const { return m_connected; }
    bool isPageReady() const { return m_pageReady; }
    int mapKind() const { return m_kind; }
    BrowserHost* view() const { return m_view; }
    // Values of the sample last shown (zero and empty when none).
    double currentLatitude() const { return m_latitude; }
    double currentLongitude() const { return m_longitude; }
    double currentSpeed() const { return m_speed; }
    const QString& currentTimeText() const { return m_timeText; }
    // Page calls made for marker moves (diagnostics and tests).
    int markerCalls() const { return m_markerCalls; }
    // The status line as the page shows it: online or offline, the source shown, a failure.
    QString statusText() const;
    // Keeps the open recording's map for offline use (the page's keep button), or stops it.
    void keepForOffline();
    TilePrefetch* keeping() const { return m_keep; }

signals:
    void dockToggleRequested(); // dock or float the map
    void seekRequested(qint64 positionMs);
    void pageLoaded(bool ok);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onPageLoaded(bool ok);
    void onConnectivity(bool connected);
    void sendTileSource();
    void sendRoute();
    void resetCurrent();
    SampleTimeline timeline() const; // the open recording's GPS samples on its time line
    void placeButtons();
    void sendStatus();
    void takeCardMaps();

    BrowserHost* m_view = nullptr;
    QToolButton* m_floatButton = nullptr;
    ConnectivityMonitor* m_monitor = nullptr;
    bool m_startMonitorOnShow = false; // our own monitor, not started until the panel is first shown
    QPointer<PlaybackSession> m_session;
    const std::vector<CGpsData>* m_gps = nullptr; // the session's, while its recording is open
    const std::vector<uint32_t>* m_gpsTimes = nullptr; // their record times (same owner)
    int m_durationMs = 0;
    int m_kind = 1;
    bool m_connected = false;
    bool m_pageRequested = false;
    bool m_pageReady = false; // the page has loaded: its functions can be called
    int m_lastIndex = -1;     // sample last drawn (the page is called only when it changes)
    double m_latitude = 0;
    double m_longitude = 0;
    double m_speed = 0;
    QString m_timeText;
    int m_markerCalls = 0;
    QString m_shownSource;  // the source of the last tile the page got
    bool m_shownOffline = false;
    QString m_message;      // the last failure of a source, shown for a while
    QTimer* m_messageTimer = nullptr;
    TilePrefetch* m_keep = nullptr;
    QString m_keepResult;   // how the last keep ended
};
