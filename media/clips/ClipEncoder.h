// Encodes an evidence clip once: the pieces of consecutive recordings a clip covers, their chosen
// channels laid out by the compositor, the overlay drawn on every picture by the caller's painter,
// to H.264 and AAC in an MP4 file with its index at the front.
//
// Threading: EncodeClip blocks its caller (run it on a worker: a ToolJob item or the command-line
// tool's main thread) and calls `progress` from that thread about every 20 ms; the overlay painter
// runs on a GStreamer streaming thread, one picture after the other. A cancel (progress returning
// false) returns within a few tens of milliseconds, with the files already removed; the pipelines
// go down on a thread of their own (WaitForClipTeardown).
//
// Nothing partial is left: the file is written through ReplacingWriter under a temporary name, read
// back and checked (streams, duration) before it is renamed over the target.
#pragma once

#include "core/clips/ClipLayout.h"
#include "core/clips/ClipRange.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Draws the overlay for the moment `clipMs` into a picture of BGRA bytes (B, G, R, A in memory,
// alpha opaque), `stride` bytes per line.
using ClipOverlayPainter =
    std::function<void(uint8_t* bgra, int width, int height, int stride, int64_t clipMs)>;
// The clip time written so far and the clip's length, in ms; false cancels.
using ClipProgress = std::function<bool(int64_t doneMs, int64_t totalMs)>;

struct ClipEncodeJob {
    std::vector<ClipPiece> pieces;
    ClipGeometry geometry;
    int framesPerSecond = 30;
    std::filesystem::path target;
    ClipOverlayPainter overlay; // none: the pictures as they are
    int videoKbps = 0;          // 0: chosen from the picture size
};

struct ClipEncodeResult {
    bool ok = false;
    bool cancelled = false;
    std::string error;      // why no clip was written
    std::string damage;     // the clip ends early: where and why (ok stays true)
    int64_t durationMs = 0; // of the written file, as read back
    int64_t frames = 0;
    int width = 0, height = 0;
};

ClipEncodeResult EncodeClip(const ClipEncodeJob& job, const ClipProgress& progress);

// A cancelled run returns before its pipelines are down (their threads no longer touch the job or
// the files); this waits until they are. Call before the process ends or GStreamer is shut down.
void WaitForClipTeardown();

// The first video stream's frame rate of a recording (whole frames per second), or 30.
int RecordingFrameRate(const std::filesystem::path& path);
