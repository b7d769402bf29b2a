// What the playback engine draws a camera channel into. The video screens of the user interface
// implement it; tests implement it to watch the frames. No widget types here.
#pragma once

#include "media/playback/VideoFrame.h"

#include <utility>

// Threading contract:
// - presentFrame() is called from a GStreamer streaming thread while a recording plays (one call
//   per decoded picture at its presentation time), and from the engine's thread for repaint(), a
//   seek or a frame step while paused. It must return quickly and must not call back into the
//   engine: keep the pointer under a lock and schedule a repaint on the view's own thread (for a
//   widget: store it, then QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection)).
// - The frame comes at the size of frameSizeHint() (full resolution without a hint); the view
//   stretches it over its whole area, no borders, as the video screens always did.
// - clearFrame() is called on the engine's thread when the channel no longer has a picture (the
//   recording was closed or has fewer channels than views): show the empty background.
// - After PlaybackEngine::close(), setViews() with other views, or the engine's
//   destruction has returned, the engine makes no further call on the view and keeps no pointer to
//   it; frames already handed over own their pixels. The destructor calls nothing on the views, so
//   views may be destroyed before or after the engine, but not while it may still draw into them.
class ChannelView {
public:
    virtual ~ChannelView() = default;

    virtual void presentFrame(VideoFramePtr frame) = 0;
    virtual void clearFrame() = 0;

    // The size in pixels the view draws at, asked on the engine's thread when a recording opens,
    // on setViews and on every repaint (the main window repaints after a view is resized).
    // Pictures are then handed over at that size (never larger than decoded), which spares
    // converting full-size pictures nobody sees; {0, 0} (the default) asks for the full size.
    // captureImage always returns the full size.
    virtual std::pair<int, int> frameSizeHint() const { return {0, 0}; }
};
