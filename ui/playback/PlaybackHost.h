// What the opening of a recording, the playback clock, the screen docking and the start-up
// arguments need from the main window: its engine, its shared state, the session, its list.
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
class PlaybackSession;

enum class MessageIcon { None, Information, Error };

class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;

    virtual PlaybackEngineHolder& engineHolder() = 0;
    virtual ViewerState& playbackState() = 0;
    // The busy window is up (true) or gone (false): list clicks and commands wait meanwhile.
    virtual void setBusy(bool busy) {}

    // The one announcement of the open recording and the position: the page, the list, the
    // screens and the panels follow it instead of being called from here.
    virtual PlaybackSession& session() = 0;

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
    virtual void clearListHighlight() = 0;
    virtual void showFileMenuTab(int tab) = 0;
    virtual void clearRecordings() = 0; // empties the scan, the drawn list and the report list
    // Lists the one file (single-file open); the list reads its size itself.
    virtual void listSingleFile(const std::filesystem::path& path) = 0;
    // Lists a folder's recordings as the folder choice does; false when nothing was found.
    virtual bool listFolder(const std::filesystem::path& folder) = 0;

    // A docked (true) screen is placed by layoutPanels; a floating one is left where it is.
    virtual void setScreenDocked(int index, bool docked) {}
    // After a screen docked or floated: the map page refits its cell (nothing until it exists).
    virtual void resizeMapPage() {}

    // Whether the left mouse button is held anywhere (the clock does not move meanwhile).
    virtual bool leftMouseButtonDown() = 0;
};
