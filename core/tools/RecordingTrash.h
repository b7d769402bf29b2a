// Moves the recordings chosen in the scan to the desktop's trash (the freedesktop trash: the home
// trash in $XDG_DATA_HOME or ~/.local/share, made when missing, or the card's ".Trash/<uid>" or
// ".Trash-<uid>" folder for a file on another volume). Without a home folder the file stays and
// the reason is given. Entries whose file
// went to the trash leave the scan; the others stay, still chosen, and are reported.
// Used by the delete command of the main window.
#pragma once

#include "core/recordings/RecordingScanner.h"

#include <functional>
#include <string>
#include <vector>

struct TrashFailure {
    std::string name;  // file name as listed
    std::string error; // why it is still there
};

struct TrashResult {
    std::vector<std::string> moved; // names, in list order
    std::vector<TrashFailure> failed;
};

// Moves one file; false with a reason when it could not be moved. The default is MoveFileToTrash.
using TrashMover = std::function<bool(const std::string& path, std::string& error)>;

bool MoveFileToTrash(const std::string& path, std::string& error);

// Every entry whose chosen flag is set, in list order. The report list must be refilled afterwards.
TrashResult MoveChosenToTrash(RecordingScanner& scanner, const TrashMover& mover = MoveFileToTrash);
