// What the playback engine draws a camera channel into. The video screens of the user interface
// implement it; tests implement it to watch the frames. No widget types here.
#pragma once

#include "media/playback/VideoFrame.h"

// Threading contract:
// - presentFrame() is called from a GStreamer streaming thread while a recording plays (one call
//   per decoded picture at its presentation time), and from the engine's thread for Repaint(), a
//   seek or a frame step while paused. It must return quickly and must not call back into the
//   engine: keep the pointer under a lock and schedule a repaint on the view's own thread (for a
//   widget: store it, then QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection)).
// - The frame is full resolution; the view scales it to its own size when it draws (the picture is
//   stretched to the whole view, no borders, as the video screens always did).
// - clearFrame() is called on the engine's thread when the channel no longer has a picture (the
//   recording was closed or has fewer channels than views): show the empty background.
// - After PlaybackEngineHolder::CloseRecording(), AttachWindows() with other views, or the holder's
//   destruction has returned, the engine makes no further call on the view and keeps no pointer to
//   it; frames already handed over own their pixels. The destructor calls nothing on the views, so
//   views may be destroyed before or after the holder, but not while it may still draw into them.
class ChannelView {
public:
    virtual ~ChannelView() = default;

    virtual void presentFrame(VideoFramePtr frame) = 0;
    virtual void clearFrame() = 0;
};
