// Opens a recording of a card at a moment: finds its row in the recording list (listing the card
// first, or the file alone, when the list does not hold it), opens that row through the player and
// seeks once the session has announced the recording and the opening is over. Used by the trips
// window for clicks on routes, events and places.
#pragma once

#include "ui/common/AppContext.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>

class RecordingJump : public QObject {
    Q_OBJECT
public:
    RecordingJump(AppContext& context, QObject* parent = nullptr);

    // False when nothing could be opened (a recording is being opened, the file is gone).
    bool open(const std::filesystem::path& recording, int64_t offsetMs, const std::filesystem::path& card);
    bool isPending() const { return !m_path.empty(); }

signals:
    // The recording is open and the seek to the moment has been asked for.
    void arrived(const QString& path, qint64 offsetMs);

private:
    int rowOf(const std::filesystem::path& recording) const;
    void onOpened();
    void seekNow();

    AppContext& m_context;
    std::filesystem::path m_path; // the recording waited for; empty when none
    int64_t m_offsetMs = 0;
    bool m_opened = false;
};
