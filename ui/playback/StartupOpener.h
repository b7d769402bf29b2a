// Opens one recording file named outside the list (command line, a second start, the file
// dialog): the file alone is listed and plays at once. Used by the main window.
#pragma once

#include "ui/playback/PlaybackHost.h"

#include <QString>

class PlaybackClock;

class StartupOpener {
public:
    StartupOpener(PlaybackHost& host, PlaybackClock& clock) : m_host(host), m_clock(clock) {}

    // Lists one recording file and starts it.
    void OpenSingleFile(const QString& folder, const QString& name);

private:
    PlaybackHost& m_host;
    PlaybackClock& m_clock;
};
