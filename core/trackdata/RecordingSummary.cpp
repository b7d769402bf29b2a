#include "core/trackdata/RecordingSummary.h"

#include "core/common/CText.h"

#include <algorithm>

std::vector<std::string> SummariseRecordingData(const RecordingData& data) {
    std::vector<std::string> lines;
    lines.push_back("company: " + data.info.company);
    lines.push_back("vehicle: " + data.info.vehicle);
    lines.push_back("driver: " + data.info.driver);
    lines.push_back("version: " + data.info.version);
    lines.push_back("serial number: " + data.info.serialNumber);
    lines.push_back(std::string("protected: ") + (data.isProtected() ? "yes" : "no"));
    std::string setup = data.hasSetupRecord ? "present" : "absent";
    if (data.hasSetupRecord) {
        auto model = FieldText(reinterpret_cast<const char*>(data.setupRecord.data()), 10);
        auto version = FieldText(reinterpret_cast<const char*>(data.setupRecord.data() + 32), 16);
        setup += " (model " + FromCameraCodePage(model) + ", version " + FromCameraCodePage(version) + ")";
    }
    lines.push_back("setup record: " + setup);
    size_t valid = std::count_if(data.gps.begin(), data.gps.end(), [](const CGpsData& s) { return s.valid; });
    lines.push_back("GPS samples: " + std::to_string(data.gps.size()) + " (" + std::to_string(valid) +
                    " valid)");
    lines.push_back("G-sensor samples: " + std::to_string(data.gsensor.size()) + " (" +
                    std::to_string(data.store.gsensor().size()) + " raw)");
    std::string marks;
    for (const EventMark& m : ComputeEventMarks(data.gps)) {
        if (!marks.empty())
            marks += ' ';
        marks += std::to_string(m.x) + ":" + std::string(1, m.type);
    }
    lines.push_back("event marks: " + (marks.empty() ? std::string("none") : marks));
    return lines;
}
