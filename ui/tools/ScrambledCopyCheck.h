// Checks the digest of a scrambled copy once the player has opened it, on a worker thread, and
// tells the user when a byte was changed since the copy was made. The recording plays on: the
// footage stays visible, the user knows it is not as it was written.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class PlaybackSession;

class ScrambledCopyCheck : public QObject {
    Q_OBJECT
public:
    using Reporter = std::function<void(const QString& text)>;

    ScrambledCopyCheck(PlaybackSession& session, Reporter report, QObject* parent = nullptr);
    ~ScrambledCopyCheck() override; // stops the checks that run and waits for them

signals:
    // A check ended for the recording that is still open (changed: its digest does not match).
    void checked(bool changed);

private:
    struct Run {
        std::thread thread;
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
    };
    void start(const std::filesystem::path& path);
    void stopRunning();
    void onResult(unsigned generation, bool scrambled, bool changed);

    PlaybackSession& m_session;
    Reporter m_report;
    std::vector<std::unique_ptr<Run>> m_runs; // the current one last; stopped ones until they end
    unsigned m_generation = 0;                // counts opens and closes: older results are dropped
};
