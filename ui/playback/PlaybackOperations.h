// The playback operations of the keys, the skin commands and the list messages: play/pause, steps,
// previous/next, return to idle, seek and row open. Player carries them out; the command
// dispatcher calls them directly, and its tests record them.
#pragma once

#include <cstdint>

class PlaybackOperations {
public:
    virtual ~PlaybackOperations() = default;

    virtual void playPause() = 0;
    virtual void stepBack() = 0;    // two seconds back
    virtual void stepForward() = 0; // one second forward
    virtual void openPrevious() = 0;
    virtual void openNext() = 0;
    virtual void returnToIdle(bool clearSelection = false) = 0;
    virtual void seek(int64_t positionMs) = 0; // message 0x413, ignored while busy
    virtual void openRow(int index) = 0;       // message 0x414 and "btnFileSelect", ignored while busy
};
