// The start-up argument of the player: a recording file is listed and played at once; a folder
// (for example a card's mount point) is listed as the folder choice lists it and its first
// recording plays. Run by the main window when its page has loaded, and for a path handed over by
// a second start of the program.
#pragma once

#include "ui/app/PlaybackHost.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>

class PlaybackClock;

class StartupOpener {
public:
    StartupOpener(PlaybackHost& host, PlaybackClock& clock) : m_host(host), m_clock(clock) {}

    // arguments: the program's command line, the program itself first. Link arguments ("qmv:")
    // are left to the download window; an empty or missing argument does nothing.
    // Returns true when a path argument was taken.
    bool ProcessStartupOpener(const QStringList& arguments);

    // Handles one path: a file as OpenSingleFile, a folder as a listed source.
    bool OpenPath(const QString& path);

    // Lists one recording file and starts it (sizeBytes: the expected size, 0 when unknown).
    void OpenSingleFile(const QString& folder, const QString& name, int64_t sizeBytes);

    // "%dM" of the file's actual size in bytes ÷ 1 000 000; "0M" when it cannot be read.
    static QString SizeText(const std::filesystem::path& path);

private:
    PlaybackHost& m_host;
    PlaybackClock& m_clock;
};
