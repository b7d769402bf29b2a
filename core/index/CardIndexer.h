// Brings the trips index up to date with a card or folder: finds its recordings, reads the data
// records of those that are new or changed (size, modification time, event thresholds), and drops
// those no longer there. Writes in transactions of a few recordings, so a killed program or a
// pulled card leaves a usable index. IndexCard runs in the caller's thread (the command-line
// tool); BackgroundIndexer runs it on a worker thread with progress and cancel (the trips window).
#pragma once

#include "core/index/DrivingEvents.h"
#include "core/index/TripIndex.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct IndexRunOptions {
    EventThresholds thresholds;
    std::vector<std::string> extensions{".qmv", ".avi", ".mp4"}; // compared lower-case
    int recordingsPerTransaction = 32;
};

struct IndexRunResult {
    bool ok = false;
    bool cancelled = false;
    bool cardLost = false;      // the card or folder went away while it was read
    bool lockedByOther = false; // another copy of the program is updating this index
    int found = 0;
    int read = 0;                      // recordings whose data records were read
    int unchanged = 0;                 // skipped: same size and time as indexed
    int removed = 0;                   // no longer on the card
    std::vector<std::string> problems; // one line per recording that could not be read
    std::string message;               // what the user is told when !ok or a run stopped early
};

using IndexProgress = std::function<void(int done, int total, const std::string& name)>;

// The card's key in the index: its absolute path without "." or ".." or links.
std::string CardKey(const std::filesystem::path& card);

IndexRunResult IndexCard(TripIndex& index, const std::filesystem::path& card, const IndexRunOptions& options,
                         const std::atomic<bool>* cancel = nullptr, const IndexProgress& progress = {});

// Runs IndexCard on its own thread with its own connection to the same index.
class BackgroundIndexer : public QObject {
    Q_OBJECT
public:
    explicit BackgroundIndexer(QObject* parent = nullptr);
    ~BackgroundIndexer() override; // cancels and waits

    // False when a run is under way.
    bool start(const IndexLocation& location, const std::filesystem::path& card,
               const IndexRunOptions& options);
    void cancel() { m_cancel = true; }
    bool isRunning() const; // a run is under way and has not reported its end

signals:
    void progress(int done, int total, const QString& name);
    void finished(const IndexRunResult& result);

private:
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_working{false}; // false from the moment the run reports its end
};
