#include "ui/tools/ScrambledCopyCheck.h"

#include "core/config/ViewerConfig.h"
#include "core/container/ScrambledCopy.h"
#include "ui/playback/PlaybackSession.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The whole file is read: at idle disk priority, so the playback's own reads go first.
void lowerDiskPriority() {
    constexpr int kWhoProcess = 1, kClassIdle = 3, kClassShift = 13;
    ::syscall(SYS_ioprio_set, kWhoProcess, 0, kClassIdle << kClassShift);
}

} // namespace

ScrambledCopyCheck::ScrambledCopyCheck(PlaybackSession& session, Reporter report, QObject* parent)
    : QObject(parent), m_session(session), m_report(std::move(report)) {
    connect(&session, &PlaybackSession::recordingOpened, this, [this] { start(m_session.recording().path); });
    connect(&session, &PlaybackSession::recordingClosed, this, [this] {
        ++m_generation;
        stopRunning();
    });
}

ScrambledCopyCheck::~ScrambledCopyCheck() {
    stopRunning();
    for (auto& run : m_runs)
        run->thread.join();
}

void ScrambledCopyCheck::stopRunning() {
    for (auto& run : m_runs)
        run->stop = true;
    // Runs that have ended are let go; a stopped one ends at its next block of the file.
    for (auto it = m_runs.begin(); it != m_runs.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = m_runs.erase(it);
        } else {
            ++it;
        }
    }
}

void ScrambledCopyCheck::start(const std::filesystem::path& path) {
    const unsigned generation = ++m_generation;
    stopRunning();
    auto run = std::make_unique<Run>();
    Run* r = run.get();
    run->thread = std::thread([this, r, path, generation] {
        lowerDiskPriority();
        bool scrambled = false, changed = false;
        if (IsScrambledRecording(path)) {
            scrambled = true;
            const CopyOutcome outcome =
                VerifyScrambledCopy(path, [r](uint64_t, uint64_t) { return !r->stop.load(); });
            changed = outcome.code == kConvertDamaged;
        }
        if (!r->stop)
            QMetaObject::invokeMethod(
                this, [this, generation, scrambled, changed] { onResult(generation, scrambled, changed); },
                Qt::QueuedConnection);
        r->done = true;
    });
    m_runs.push_back(std::move(run));
}

void ScrambledCopyCheck::onResult(unsigned generation, bool scrambled, bool changed) {
    if (generation != m_generation || !m_session.isOpen())
        return; // another recording is open by now
    if (!scrambled)
        return;
    if (changed && m_report)
        m_report(QString::fromStdString(LString("MAIN_MSG_COPY_CHANGED")));
    emit checked(changed);
}
