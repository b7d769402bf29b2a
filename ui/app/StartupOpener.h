// Opens one recording file named outside the list (command line, a second start, the file
// dialog): the file alone is listed and plays at once. Used by the main window.
#pragma once

#include "ui/app/PlaybackHost.h"

#include <QString>
#include <QString>

#include <cstdint>
#include <filesystem>

class PlaybackClock;

class StartupOpener {
public:
    StartupOpener(PlaybackHost& host, PlaybackClock& clock) : m_host(host), m_clock(clock) {}

    // Lists one recording file and starts it (sizeBytes: the expected size, 0 when unknown).
    void OpenSingleFile(const QString& folder, const QString& name, int64_t sizeBytes);

    // "%dM" of the file's actual size in bytes ÷ 1 000 000; "0M" when it cannot be read.
    static QString SizeText(const std::filesystem::path& path);

private:
    PlaybackHost& m_host;
    PlaybackClock& m_clock;
};
