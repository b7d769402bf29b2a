// What playback needs of the recording list: its rows in list order with their kind filter, the
// highlight of the open row, and the single-file listing. ListController implements it; the
// playback tests implement it over a plain vector of files.
#pragma once

#include <filesystem>
#include <string>

class RecordingList {
public:
    virtual ~RecordingList() = default;

    virtual int kindFilter() const = 0; // RecordingKind shown, 1 = all
    virtual int recordingCount() const = 0;
    virtual std::string recordingName(int index) const = 0;     // file name; empty out of range
    virtual std::filesystem::path rowPath(int index) const = 0; // empty out of range
    virtual void selectRow(int index, int kind) = 0;            // highlight, tab, scroll into view
    virtual void clearHighlight() = 0;                          // highlight none, first tab
    virtual void clearRecordings() = 0;                         // the scan and the drawn list empty
    // Lists the one file alone and shows it under the tab that holds every kind.
    virtual void listSingleFile(const std::filesystem::path& path) = 0;
};
