// The trips window: every drive of a card on one map (a skin page on Leaflet with the map panel's
// tiles and offline base layer), its driving events as markers, the drives listed by day with
// their figures, filters by date, kind and event type, "Recordings near here" from the index's
// place query, and GPX and CSV of the shown trips. It shows what the index holds at once and
// brings the index up to date in the background, with progress on the page. A click on a route
// point or an event opens that recording at that moment in the player (RecordingJump).
//
// Page calls (window.external.DoHandler): "tripsOpen" ("recording,offsetMs"), "tripsNear"
// ("lat,lon,radiusM"), "tripsExport" (see ParseTripsExport), "tripsCancel", "tripsRefresh",
// "tripsChoose" (another card or folder).
#pragma once

#include "core/index/CardIndexer.h"
#include "core/index/IndexSettings.h"
#include "core/index/Trips.h"
#include "ui/common/AppContext.h"

#include <QElapsedTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class BrowserHost;
class ConnectivityMonitor;
class RecordingJump;
class QTimer;

class TripsWindow : public QWidget {
    Q_OBJECT
public:
    // `monitor`: the connection check to use (tests pass their own); nullptr makes one that watches
    // the chosen tile server.
    TripsWindow(AppContext& context, QWidget* parent, ConnectivityMonitor* monitor = nullptr);
    ~TripsWindow() override;

    // Shows the trips of `card` the index holds and brings the index up to date with it.
    void showCard(const std::filesystem::path& card);
    const std::filesystem::path& card() const { return m_card; }
    // Indexes the card again (the page's refresh button), or stops the run under way.
    void refresh();
    void cancelIndexing();
    // Reads the card's trips from the index again and draws them (tripsShown follows).
    void reloadFromIndex() { loadFromIndex(); }

    BrowserHost* view() const { return m_view; }
    RecordingJump& jump() const { return *m_jump; }
    const std::vector<IndexedRecording>& recordings() const { return m_recordings; }
    const std::vector<Trip>& trips() const { return m_trips; }
    bool isIndexing() const;
    bool isPageReady() const { return m_pageReady; }

    // Injection points for tests; the defaults show the real dialogs.
    using SaveChooser = std::function<QString(const QString& proposed, const QString& filter)>;
    using FolderChooser = std::function<QString()>;
    using MessageShower = std::function<void(const QString& text, bool error)>;
    void setSaveChooser(SaveChooser choose) { m_chooseSave = std::move(choose); }
    void setFolderChooser(FolderChooser choose) { m_chooseFolder = std::move(choose); }
    void setMessageShower(MessageShower tell) { m_tell = std::move(tell); }

signals:
    // The page has drawn the trips (`drawn` routes' trips); `loadMs`: index read to page drawn.
    void tripsShown(int drawn, qint64 loadMs);
    void indexingFinished(bool ok);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool openIndex();
    void loadFromIndex();
    void sendTrips();
    void sendSetup();
    void startIndexing();
    void onProgress(int done, int total, const QString& name);
    void onIndexed(const IndexRunResult& result);
    void onHandler(const QString& name, const QString& value);
    void openAt(const QString& value);
    void near(const QString& value);
    void exportTrips(const QString& value);
    void chooseCard();
    void setStatus(const QString& text);
    void tell(const QString& text, bool error);

    AppContext& m_context;
    BrowserHost* m_view = nullptr;
    RecordingJump* m_jump = nullptr;
    ConnectivityMonitor* m_monitor = nullptr;
    bool m_startMonitorOnShow = false;
    BackgroundIndexer* m_indexer = nullptr;
    std::unique_ptr<TripIndex> m_index; // the window's own connection (UI thread): reads only
    TripSettings m_settings;
    std::filesystem::path m_card;
    std::filesystem::path m_indexingCard; // the card of the run under way
    std::vector<IndexedRecording> m_recordings;
    std::vector<Trip> m_trips;
    bool m_pageReady = false;
    bool m_rerun = false;        // a run was cancelled for another card: start again when it ends
    bool m_tripsPending = false; // loaded while the page was not ready: sent when it is
    QElapsedTimer m_loadClock;   // from the start of a load to the page's answer
    QElapsedTimer m_sinceLoad;   // reloads while indexing, at most every few seconds
    int m_kind = 1;              // map kind (tile source)
    QString m_status;
    SaveChooser m_chooseSave;
    FolderChooser m_chooseFolder;
    MessageShower m_tell;
};
