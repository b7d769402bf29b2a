#include "core/tools/EventLog.h"

#include "core/common/CText.h"
#include "core/common/RegularFile.h"
#include "core/common/ReplacingWriter.h"
#include "core/common/FileReplace.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace {

template <typename T> T readAt(const uint8_t* record, size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof(T));
    return value;
}

template <typename T> void writeAt(uint8_t* record, size_t offset, T value) {
    std::memcpy(record + offset, &value, sizeof(T));
}

struct TypeName {
    int32_t code;
    std::string_view name;
};

constexpr TypeName kTypeNames[] = {
    {1, "Shock"},
    {2, "Manual"},
    {3, "Emergency"},
    {4, "Overspeed"},
    {5, "Sudden Accel."},
    {6, "Sudden Brake"},
    {7, "Movement"},
    {8, "Image"},
    {9, "Video"},
    {10, "Snapshot"},
    {11, "Log"},
    {12, "Quick play"},
    {18, "Custom Event"},
    {19, "Trigger Event"},
    {20, "Server Event"},
    {21, "Server Image"},
    {22, "Server Movie"},
    {23, "Server Log"},
    {24, "Backup Movie"},
    {25, "Idling Start"},
    {26, "Idling End"},
    {40, "Geo fence Out"},
    {41, "Geo fence In"},
    {50, "Motion Detect"},
    {51, "Entered Sleep Mode"},
    {52, "Exited Sleep Mode"},
    {53, "GPS Signal Detected"},
    {54, "GPS Signal not Detected"},
    {55, "GPS Error"},
    {56, "Engine Start"},
    {57, "Engine Off"},
    {58, "External Signal Detect"},
    {59, "External Signal Release"},
    {62, "IR LED On"},
    {63, "IR LED Off"},
    {100, "System Error"},
    {101, "Primary SD Error"},
    {102, "Secondary SD Error"},
    {103, "Low Voltage Cutoff"},
    {104, "Timeout Cutoff"},
    {105, "Power Off in Progress"},
    {106, "Power Off"},
    {107, "Remote Recording Stop"},
    {108, "Remote Recording Start"},
    {109, "Remote Reboot"},
    {120, "System On"},
    {121, "Towed Alarm"},
    {122, "Network Disconnect"},
    {123, "Network Connect"},
    {124, "SD Format"},
    {125, "Maintenance Reset"},
    {126, "System Down"},
    {141, "CODE-FC1"},
    {142, "CODE-IC1"},
    {201, "Update Setup.cfg"},
    {202, "OTA"},
};

} // namespace

std::string_view EventTypeName(int32_t code) {
    for (const auto& t : kTypeNames)
        if (t.code == code)
            return t.name;
    return {};
}

EventLogRecord DecodeEventLogRecord(std::span<const uint8_t> bytes) {
    uint8_t r[kEventLogRecordSize] = {};
    if (!bytes.empty())
        std::memcpy(r, bytes.data(), std::min(bytes.size(), kEventLogRecordSize));
    EventLogRecord e;
    e.ordering = readAt<int32_t>(r, 0);
    e.type = readAt<int32_t>(r, 16);
    e.speed = readAt<float>(r, 44);
    e.direction = readAt<float>(r, 48);
    e.latitude = readAt<double>(r, 52);
    e.longitude = readAt<double>(r, 60);
    e.year = readAt<int8_t>(r, 78);
    e.month = readAt<int8_t>(r, 79);
    e.day = readAt<int8_t>(r, 80);
    e.hour = readAt<int8_t>(r, 81);
    e.minute = readAt<int8_t>(r, 82);
    e.second = readAt<int8_t>(r, 83);
    e.gsensorX = readAt<float>(r, 92);
    e.gsensorY = readAt<float>(r, 96);
    e.gsensorZ = readAt<float>(r, 100);
    e.gsensorSum = readAt<float>(r, 104);
    return e;
}

std::vector<uint8_t> EncodeEventLogRecord(const EventLogRecord& e) {
    std::vector<uint8_t> v(kEventLogRecordSize, 0);
    uint8_t* r = v.data();
    writeAt(r, 0, e.ordering);
    writeAt(r, 16, e.type);
    writeAt(r, 44, e.speed);
    writeAt(r, 48, e.direction);
    writeAt(r, 52, e.latitude);
    writeAt(r, 60, e.longitude);
    writeAt(r, 78, e.year);
    writeAt(r, 79, e.month);
    writeAt(r, 80, e.day);
    writeAt(r, 81, e.hour);
    writeAt(r, 82, e.minute);
    writeAt(r, 83, e.second);
    writeAt(r, 92, e.gsensorX);
    writeAt(r, 96, e.gsensorY);
    writeAt(r, 100, e.gsensorZ);
    writeAt(r, 104, e.gsensorSum);
    return v;
}

namespace {

// Space the camera has not written yet: erased flash (all 0xFF) or a zeroed file area.
bool isUnwritten(std::span<const uint8_t> bytes) {
    const uint8_t first = bytes[0];
    if (first != 0x00 && first != 0xFF)
        return false;
    for (uint8_t b : bytes)
        if (b != first)
            return false;
    return true;
}

// Bytes a record needs for every field the export writes (the G-sensor sum ends at 108).
constexpr size_t kEventLogUsedBytes = 108;

// The record loop shared by ReadEventLog and the export: decides, record by record, whether the
// log goes on. Returns false when the record ends the log (wrapped ordering, unwritten space, a
// record cut short before its last field); `note` then says why when it is worth telling.
// The camera stamps every record with its clock; a file whose first record has no date and time of
// day in range is something else (a recording, a picture, random bytes), not a damaged log.
bool hasClockTime(const EventLogRecord& r) {
    return r.month >= 1 && r.month <= 12 && r.day >= 1 && r.day <= 31 && r.hour >= 0 && r.hour <= 23 &&
           r.minute >= 0 && r.minute <= 59 && r.second >= 0 && r.second <= 60;
}

struct EventLogWalk {
    int64_t previous = -1;
    bool notALog = false; // the first record is no event record
    bool started = false;
    bool accept(std::span<const uint8_t> bytes, EventLogRecord& record, std::string* note) {
        if (bytes.size() < kEventLogUsedBytes) {
            if (note)
                *note = "the last record is cut short (" + std::to_string(bytes.size()) + " of " +
                        std::to_string(kEventLogRecordSize) + " bytes) and was left out";
            return false;
        }
        if (isUnwritten(bytes)) {
            if (note)
                *note = "the log ends in unwritten (erased) space";
            return false;
        }
        record = DecodeEventLogRecord(bytes);
        if (!started && !hasClockTime(record)) {
            notALog = true;
            return false;
        }
        started = true;
        if (record.ordering < previous)
            return false; // the camera's ring buffer wraps here
        previous = record.ordering;
        return true;
    }
};

// A number field as the camera wrote it; NaN and infinities have no digits and leave it empty.
void appendNumber(std::string& line, double v) {
    line += ',';
    if (std::isfinite(v))
        line += FormatFixed6(v);
}

} // namespace

std::vector<EventLogRecord> ReadEventLog(std::span<const uint8_t> bytes) {
    std::vector<EventLogRecord> records;
    EventLogWalk walk;
    for (size_t offset = 0; offset < bytes.size(); offset += kEventLogRecordSize) {
        EventLogRecord record;
        if (!walk.accept(bytes.subspan(offset, std::min(kEventLogRecordSize, bytes.size() - offset)), record,
                         nullptr))
            break;
        records.push_back(record);
    }
    return records;
}

std::string FormatEventLogLine(const EventLogRecord& e) {
    std::string line;
    line.reserve(160);
    for (int v : {e.year, e.month, e.day, e.hour, e.minute, e.second}) {
        line += std::to_string(v);
        line += ',';
    }
    line += EventTypeName(e.type);
    for (double v : {double(e.speed), double(e.direction), e.latitude, e.longitude, double(e.gsensorX),
                     double(e.gsensorY), double(e.gsensorZ), double(e.gsensorSum)})
        appendNumber(line, v);
    return line;
}

EventLogExportResult ExportEventLog(const std::filesystem::path& logPath,
                                    const std::filesystem::path& csvPath) {
    EventLogExportResult result;
    // Writing the CSV over the log itself would destroy the log.
    if (IsSameFile(logPath, csvPath)) {
        result.error = "the CSV file must not be the log file itself";
        return result;
    }
    RegularFile log = OpenRegularFile(logPath);
    if (log.fd < 0) {
        result.error = "cannot open the log file " + log.error;
        return result;
    }
    ReplacingWriter csv(csvPath);
    if (!csv.isOpen()) {
        ::close(log.fd);
        result.error = csv.error();
        return result;
    }
    // One record at a time: the log may be any size (or not a log at all) and memory stays flat.
    bool ok = csv.write(std::string(kEventLogCsvHeader) + "\r\n");
    EventLogWalk walk;
    uint8_t buffer[kEventLogRecordSize];
    while (ok) {
        size_t got = 0;
        while (got < sizeof buffer) {
            ssize_t n = ::read(log.fd, buffer + got, sizeof buffer - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result.error = "cannot read the log file " + logPath.string() + ": " + std::strerror(errno);
                ok = false;
            }
            if (n <= 0)
                break;
            got += size_t(n);
        }
        EventLogRecord record;
        if (!ok || got == 0)
            break;
        if (!walk.accept(std::span(buffer, got), record, &result.note)) {
            if (walk.notALog) {
                result.error = logPath.string() + " is not an event log of the camera";
                ok = false;
            } else if (got < kEventLogUsedBytes) {
                result.cutRecordBytes = got;
            }
            break;
        }
        ok = csv.write(FormatEventLogLine(record) + "\r\n");
        ++result.lines;
    }
    ::close(log.fd);
    if (ok && !csv.commit())
        ok = false;
    if (!ok) {
        if (result.error.empty())
            result.error = csv.error();
        result.lines = 0;
        return result;
    }
    result.ok = true;
    return result;
}
