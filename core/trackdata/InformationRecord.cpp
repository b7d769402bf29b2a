#include "core/trackdata/InformationRecord.h"

#include "core/common/CText.h"

std::vector<uint8_t> MakeInformationRecord(const RecordingInfoTexts& info, const std::string& recordingId,
                                           const std::string& recordingPassword) {
    // Fields 0..2 are the record tag and two numbers the player does not use.
    std::string text = "I,0,0," + info.version + "," + info.company + "," + info.vehicle + "," + info.driver +
                       "," + recordingId + "," + recordingPassword + "," + info.serialNumber;
    std::string bytes = ToCameraCodePage(text, RecordSource::kMaxRecordSize - 1);
    std::vector<uint8_t> record(bytes.begin(), bytes.end());
    record.push_back(0);
    return record;
}
