// Everything the opening of a recording reads from its data records, kept by the main window for
// the panels, the information dialog, the print report and the identity check.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

struct EventMark {
    int x = 0;     // position on the page's 260-unit time line
    char code = 0; // the GPS sample's event character
};

struct LoadedTrackData {
    // Information texts (company, vehicle, driver, firmware version, serial number).
    QString company, vehicle, driver, version, serial;
    QString recordingId, recordingPassword; // empty when the recording is not protected
    std::vector<char> gpsEvents;            // event character of every GPS sample, in order
    int gsensorSampleCount = 0;
    bool hasSetupRecord = false;
    std::array<uint8_t, 700> setupRecord{};
};

// Step of the page's time line that the event marks use: sample i of n sits at (i + 1) * 260 / n.
std::vector<EventMark> ComputeEventMarks(const std::vector<char>& gpsEvents);
