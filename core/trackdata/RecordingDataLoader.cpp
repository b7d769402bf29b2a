#include "core/trackdata/RecordingDataLoader.h"

#include "core/common/CText.h"

#include <cstring>

namespace {

constexpr size_t kBufferSize = RecordSource::kMaxRecordSize;

template <size_t N> std::string setupText(const SetupRecordBytes& record, size_t offset) {
    return FromCameraCodePage(FieldText(reinterpret_cast<const char*>(record.data() + offset), N));
}

} // namespace

std::vector<EventMark> ComputeEventMarks(const std::vector<CGpsData>& gps) {
    std::vector<EventMark> marks;
    const size_t n = gps.size();
    for (size_t i = 0; i < n; ++i) {
        if (gps[i].event == '0')
            continue;
        float x = static_cast<float>((i + 1) * 260.0 / static_cast<double>(n));
        marks.push_back({static_cast<int>(x), gps[i].event});
    }
    return marks;
}

RecordingData RecordingDataLoader::Load(RecordSource* source) {
    RecordingData data;
    if (!source) {
        data.setupRecord = m_setupCopy;
        return data;
    }
    int failures = 0;
    uint8_t buffer[kBufferSize];
    while (data.recordsDelivered < m_maxRecords) {
        std::memset(buffer, 0, sizeof(buffer));
        uint32_t size = kBufferSize;
        uint32_t timestampMs = 0;
        if (source->GetNextRecord(buffer, &size, &timestampMs) != 0) {
            if (++failures >= kMaxFailedReads)
                break;
            continue;
        }
        ++data.recordsDelivered;
        // A delivery of no bytes is no record: it would otherwise read as an all-zero setup record.
        if (size == 0)
            continue;
        fileRecord(data, buffer, std::min<uint32_t>(size, kBufferSize), timestampMs);
    }

    data.setupRecord = m_setupCopy;
    if (data.recordingId == kMasterPassword && data.recordingPassword == kMasterPassword) {
        data.recordingId.clear();
        data.recordingPassword.clear();
    }
    return data;
}

void RecordingDataLoader::fileRecord(RecordingData& data, const uint8_t* buffer, uint32_t size,
                                     uint32_t timestampMs) {
    data.store.AddRecord(timestampMs, std::span(buffer, size));
    switch (buffer[0]) {
    case 'M':
        data.gsensor.push_back(MakeGsensorSample(buffer[1], buffer[2], buffer[3], 8));
        data.gsensorTimesMs.push_back(timestampMs);
        break;
    case '2':
    case '4':
    case '8':
        data.gsensor.push_back(MakeGsensorSample(buffer[1], buffer[2], buffer[3], buffer[0] - '0'));
        data.gsensorTimesMs.push_back(timestampMs);
        break;
    case '$': {
        CGpsData sample;
        // The whole buffer: bytes past the record are zero, so the text ends within it.
        sample.ParseSentence(std::string_view(reinterpret_cast<const char*>(buffer), kBufferSize));
        data.gps.push_back(sample);
        data.gpsTimesMs.push_back(timestampMs);
        break;
    }
    case 'I':
        readInformationText(data, buffer);
        break;
    case 'V':
    case 0:
        std::memcpy(m_setupCopy.data(), buffer, kSetupRecordSize);
        data.hasSetupRecord = true;
        break;
    case 'Z': {
        uint8_t piece = buffer[1];
        if (piece >= '1' && piece <= '5') {
            std::memcpy(m_setupCopy.data() + 100 * (piece - '1'), buffer + 2, 100);
        } else if (piece == '6') {
            std::memcpy(m_setupCopy.data() + 500, buffer + 2, 200);
            data.hasSetupRecord = true;
            data.info.company = setupText<32>(m_setupCopy, offsetof(SetupRecord, company));
            data.info.vehicle = setupText<40>(m_setupCopy, offsetof(SetupRecord, vehicle));
            data.info.driver = setupText<32>(m_setupCopy, offsetof(SetupRecord, driver));
            // A merged recording carries the setup of each part: a part that is not protected (no
            // ID and password, or both the master password) leaves an earlier part's protection.
            std::string id = setupText<32>(m_setupCopy, offsetof(SetupRecord, user));
            std::string password = setupText<32>(m_setupCopy, offsetof(SetupRecord, passwd));
            const bool unprotected = (id.empty() && password.empty()) ||
                                     (id == kMasterPassword && password == kMasterPassword);
            if (!unprotected || (data.recordingId.empty() && data.recordingPassword.empty())) {
                data.recordingId = std::move(id);
                data.recordingPassword = std::move(password);
            }
        }
        break;
    }
    default:
        break;
    }
}

void RecordingDataLoader::readInformationText(RecordingData& data, const uint8_t* buffer) {
    std::string text = FromCameraCodePage(FieldText(reinterpret_cast<const char*>(buffer), kBufferSize));
    auto fields = SplitText(text, ',');
    auto field = [&](size_t i) -> std::string {
        return i < fields.size() ? std::string(fields[i]) : std::string();
    };
    data.info.version = field(3);
    data.info.company = field(4);
    data.info.vehicle = field(5);
    data.info.driver = field(6);
    if (std::string id = field(7); !id.empty() && id != kMasterPassword)
        data.recordingId = id;
    if (std::string pw = field(8); !pw.empty() && pw != kMasterPassword)
        data.recordingPassword = pw;
    data.info.serialNumber = field(9);
}

bool RecordingIdentity::NeedsQuestion(const RecordingData& data) const {
    if (!data.isProtected())
        return false;
    return !(data.recordingId == m_lastId && data.recordingPassword == m_lastPassword);
}

bool RecordingIdentity::Accept(const RecordingData& data, const std::string& enteredId,
                               const std::string& enteredPassword) {
    if (enteredId != data.recordingId || enteredPassword != data.recordingPassword)
        return false;
    m_lastId = enteredId;
    m_lastPassword = enteredPassword;
    return true;
}
