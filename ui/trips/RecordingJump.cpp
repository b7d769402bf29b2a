#include "ui/trips/RecordingJump.h"

#include "ui/playback/BusyFlag.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/Player.h"
#include "ui/recordings/ListController.h"

#include <QTimer>

#include <algorithm>

#include <system_error>

namespace fs = std::filesystem;

namespace {
fs::path normal(const fs::path& p) {
    std::error_code ec;
    const fs::path c = fs::weakly_canonical(p, ec);
    return ec ? p.lexically_normal() : c;
}
} // namespace

RecordingJump::RecordingJump(AppContext& context, QObject* parent) : QObject(parent), m_context(context) {
    connect(&context.session, &PlaybackSession::recordingOpened, this, &RecordingJump::onOpened);
    connect(&context.busy, &BusyFlag::busyChanged, this, [this](bool busy) {
        if (!busy && m_opened)
            seekNow();
        else if (!busy && !m_path.empty())
            m_path.clear(); // the opening ended without our recording (failed, or another won)
    });
}

int RecordingJump::rowOf(const fs::path& recording) const {
    const fs::path wanted = normal(recording);
    const int count = m_context.recordings.recordingCount();
    for (int row = 0; row < count; ++row)
        if (normal(m_context.recordings.rowPath(row)) == wanted)
            return row;
    return -1;
}

bool RecordingJump::open(const fs::path& recording, int64_t offsetMs, const fs::path& card) {
    if (m_context.busy.isBusy())
        return false;
    std::error_code ec;
    if (!fs::is_regular_file(recording, ec))
        return false;
    offsetMs = std::max<int64_t>(0, offsetMs);
    PlaybackSession& session = m_context.session;
    if (session.isOpen() && normal(session.recording().path) == normal(recording)) {
        m_path.clear();
        m_opened = false;
        m_context.player.seek(offsetMs);
        emit arrived(QString::fromStdString(recording.string()), offsetMs);
        return true;
    }
    int row = rowOf(recording);
    if (row < 0 && !card.empty() && fs::is_directory(card, ec)) {
        // The list shows another card (or none): list the trips' card, as a folder opened by hand.
        m_context.player.returnToIdle();
        m_context.recordings.openFolder(card);
        row = rowOf(recording);
    }
    if (row < 0) {
        // A recording outside the card's recording folders is listed alone.
        m_context.player.clearAndClose();
        m_context.recordings.listSingleFile(recording);
        row = rowOf(recording);
    }
    if (row < 0)
        return false;
    m_path = recording;
    m_offsetMs = offsetMs;
    m_opened = false;
    m_context.player.openRow(row);
    return true;
}

void RecordingJump::onOpened() {
    if (m_path.empty())
        return;
    if (normal(m_context.session.recording().path) != normal(m_path)) {
        m_path.clear();
        return;
    }
    m_opened = true;
    if (!m_context.busy.isBusy())
        QTimer::singleShot(0, this, &RecordingJump::seekNow);
}

void RecordingJump::seekNow() {
    if (!m_opened || m_path.empty())
        return;
    const QString path = QString::fromStdString(m_path.string());
    const int64_t ms = m_offsetMs;
    m_path.clear();
    m_opened = false;
    m_context.player.seek(ms);
    emit arrived(path, ms);
}
