// The work behind the clip window, away from its widgets: reading the recordings of a time line,
// the first picture of a clip for the preview, and the whole export (plan, data records, encoding
// with the overlay, read-back check, manifest) with one outcome the window turns into a message.
// Every function here blocks and runs on the window's worker thread.
#pragma once

#include "core/clips/ClipOptions.h"
#include "core/clips/ClipRange.h"
#include "core/clips/ClipTrack.h"
#include "media/clips/ClipEncoder.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <vector>

struct ClipRequest {
    std::vector<ClipSource> sources; // the time line, in order
    ClipRange range;                 // on the time line
    std::vector<int> channels;       // 0-based, the main one first
    ClipOptions options;
    bool playerMainLarge = false; // the player's large main channel (layout Player)
    int speedUnit = 1;            // 1 km/h, 2 mph, 3 knots
    int framesPerSecond = 30;
    std::filesystem::path target;
};

struct ClipOutcome {
    enum class Kind {
        Written,   // checked after reading it back; `damage` may say it ends early
        Cancelled, // nothing left behind
        BadRange,  // the range does not lie on the recordings
        Failed,    // no clip: `detail` says why (unwritable target, full disk, unreadable recording)
    };
    Kind kind = Kind::Failed;
    std::string detail;
    std::string damage; // the clip stops before the range's end: where and why
    bool noGps = false; // the recordings carry no GPS records (the overlay says so)
    int64_t durationMs = 0;
    int64_t frames = 0;
    std::filesystem::path manifest;
};

// The time line of `paths`: each recording's length and whether it is cut short; the video channel
// count of the first. Empty with *error naming the file that cannot be read or is no recording.
std::vector<ClipSource> ReadClipSources(const QStringList& paths, int* videoChannels, QString* error);

// The clip's geometry for the request's layout, height and channels.
ClipGeometry ClipRequestGeometry(const ClipRequest& request);

// The first picture of the clip as the encoder composes it (without the overlay), and the data
// records of the range for drawing the overlay on it. Runs the encoder into a scratch folder and
// stops it after one picture; nothing is written anywhere else.
struct ClipPreviewPicture {
    QImage picture;
    std::shared_ptr<const ClipTrack> track;
    std::string error;
};
ClipPreviewPicture MakeClipPreview(const ClipRequest& request);

// The overlay of the request's options drawn over `picture` for the clip's moment `clipMs`.
QImage DrawClipOverlay(const QImage& picture, const ClipRequest& request, const ClipTrack& track,
                       int64_t clipMs = 0);

// Encodes the clip and writes its manifest. `progress` is called on this thread; false cancels,
// and the outcome comes back at once with nothing left behind: call WaitForClipTeardown after it.
ClipOutcome ExportClip(const ClipRequest& request, const ClipProgress& progress);
