// The record loop of an opened recording: reads every data record of a RecordSource into the
// G-sensor and GPS arrays, the time-stamped store, the information texts, the setup-record copy
// and the recording's ID and password. No window is involved; the opening window calls Load and
// hands the result to the panels, the identity question and the page's event marks.
#pragma once

#include "core/camera/SetupRecord.h"
#include "core/container/RecordSource.h"
#include "core/trackdata/TrackData.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The camera's master password: a recording whose ID and password both equal it is unprotected,
// and it is never taken from an information record as an ID or password.
inline constexpr std::string_view kMasterPassword = "QRT4$%^78M";

struct RecordingInfoTexts {
    std::string company;
    std::string vehicle;
    std::string driver;
    std::string version;
    std::string serialNumber;
};

struct RecordingData {
    std::vector<CGsensorData> gsensor;
    std::vector<CGpsData> gps;
    // The record time (ms) of each sample above, one per sample: see SampleTimeline.
    std::vector<uint32_t> gsensorTimesMs;
    std::vector<uint32_t> gpsTimesMs;
    CWBCTextData store;
    RecordingInfoTexts info;
    SetupRecordBytes setupRecord{}; // the copy; pieces a recording lacks keep the previous bytes
    bool hasSetupRecord = false;    // a "V", type-0 or sixth "Z" record was read
    std::string recordingId;        // empty when the recording is not protected
    std::string recordingPassword;
    int recordsDelivered = 0;

    bool isProtected() const { return !recordingId.empty() || !recordingPassword.empty(); }
    SampleTimeline gpsTimeline(int64_t rangeMs) const { return {gpsTimesMs, gps.size(), rangeMs}; }
    SampleTimeline gsensorTimeline(int64_t rangeMs) const { return {gsensorTimesMs, gsensor.size(), rangeMs}; }
};

struct EventMark {
    int x = 0;       // 0..260 on the page's time line
    char type = '0'; // the sample's event character
    bool operator==(const EventMark&) const = default;
};

// Marks for the GPS samples with an event: x = (i + 1) * 260 / n in single precision, truncated.
std::vector<EventMark> ComputeEventMarks(const std::vector<CGpsData>& gps);

class RecordingDataLoader {
public:
    static constexpr int kMaxFailedReads = 1000;
    // A source that never runs dry must not grow the arrays without end (about 30 hours of
    // records at the camera's densest rate).
    static constexpr int kMaxRecords = 4'000'000;

    explicit RecordingDataLoader(int maxRecords = kMaxRecords) : m_maxRecords(maxRecords) {}

    // Reads every record of `source` (nullptr: no engine, nothing to read). The setup-record copy
    // carries over from the previous Load, as pieces of a recording only overwrite their part.
    RecordingData Load(RecordSource* source);

    const SetupRecordBytes& setupCopy() const { return m_setupCopy; }

private:
    void fileRecord(RecordingData& data, const uint8_t* buffer, uint32_t size, uint32_t timestampMs);
    void readInformationText(RecordingData& data, const uint8_t* buffer);

    int m_maxRecords;
    SetupRecordBytes m_setupCopy{};
};

// The recording ID/password question of the opening window, remembering the pair last entered
// correctly in this run of the program.
class RecordingIdentity {
public:
    // True when the user must be asked before the recording's data is shown.
    bool NeedsQuestion(const RecordingData& data) const;
    // Compares an answer (exact, case-sensitive); a match becomes the last accepted pair.
    bool Accept(const RecordingData& data, const std::string& enteredId, const std::string& enteredPassword);

    const std::string& lastId() const { return m_lastId; }
    const std::string& lastPassword() const { return m_lastPassword; }

private:
    std::string m_lastId;
    std::string m_lastPassword;
};
