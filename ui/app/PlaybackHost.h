// What the opening of a recording, the playback clock, the screen docking and the start-up
// arguments need from the main window: its shared playback state, its page, its list and panels.
// The main window implements it; tests implement it with a recording fake.
#pragma once

#include "media/playback/PlaybackEngine.h"
#include "ui/app/ViewerState.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

class CDlgVideoScreen;
struct RecordingData;
using LoadedTrackData = RecordingData;

enum class MessageIcon { None, Information, Error };

class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;

    virtual PlaybackEngineHolder& engineHolder() = 0;
    virtual ViewerState& playbackState() = 0;
    // The busy window is up (true) or gone (false): list clicks and commands wait meanwhile.
    virtual void setBusy(bool busy) {}

    // Page of the main window.
    virtual void callInternal(const QString& name, const QString& value) = 0;
    virtual void callScript(const QString& function, const QStringList& args) = 0;
    virtual void drawSpeed(int speedTimes1000) = 0; // the page's speed read-out, one integer

    // Window.
    virtual void setTitleText(const QString& fileName) = 0;
    virtual void setTimeLabel(const QString& text) = 0;
    // A message box; tests answer it without blocking.
    virtual void showMessage(const QString& text, MessageIcon icon) = 0;
    virtual std::array<CDlgVideoScreen*, 4> videoScreens() = 0;
    virtual void layoutPanels() = 0; // places every docked child for the current size and channels

    // Recording list (scan entries in list order) and its kind filter (RecordingKind, 1 = all).
    virtual int kindFilter() = 0;
    virtual int recordingCount() = 0;
    virtual std::string recordingName(int index) = 0;     // file name without folder; empty if none
    virtual std::filesystem::path rowPath(int index) = 0; // empty when out of range
    virtual std::filesystem::path listedSource() = 0;     // drive or folder whose recordings are listed
    virtual void selectInList(int index, int kind) = 0;   // highlight, tab, scroll into view
    virtual void markOpenedRow(int index, int kind) = 0;  // as selectInList, plus the hidden report list
    virtual void clearListHighlight() = 0;
    virtual void showFileMenuTab(int tab) = 0;
    virtual void clearRecordings() = 0; // empties the scan, the drawn list and the report list
    // Lists the one file (single-file open); the list reads its size itself.
    virtual void listSingleFile(const std::filesystem::path& path) = 0;
    // Lists a folder's recordings as the folder choice does; false when nothing was found.
    virtual bool listFolder(const std::filesystem::path& folder) = 0;

    // Panels (map, speed, G-sensor); the defaults do nothing until those panels exist.
    virtual void resetTrackPanels() {}
    virtual void setTrackPanelData(const LoadedTrackData& data, int trackRangeMs) {}
    // Moves the map marker; returns the speed at pos (knots) for the page's read-out.
    virtual double drawTrackPosition(int64_t posMs) { return 0.0; }
    virtual void setTrackPanelPosition(int64_t posMs) {}
    virtual void hideFloatingGsensorWindows() {}
    virtual void clearMapPath() {}
    virtual void resizeMapPage() {}

    // A docked (true) screen is placed by layoutPanels; a floating one is left where it is.
    virtual void setScreenDocked(int index, bool docked) {}

    // Whether the left mouse button is held anywhere (the clock does not move meanwhile).
    virtual bool leftMouseButtonDown() = 0;
};
