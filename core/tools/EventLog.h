// The camera's binary event log (".bin", 172-byte records) and its CSV export.
// Used by the export command of the player and by quillent-tool "export-log".
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t kEventLogRecordSize = 172;

struct EventLogRecord {
    int32_t ordering = 0; // must not decrease from record to record
    int32_t type = 0;     // event type code
    float speed = 0;
    float direction = 0;
    double latitude = 0;
    double longitude = 0;
    int8_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0; // UTC, year not expanded
    float gsensorX = 0, gsensorY = 0, gsensorZ = 0, gsensorSum = 0;
};

inline constexpr std::string_view kEventLogCsvHeader =
    "YEAR(UTC),MONTH(UTC),DAY(UTC),HOUR(UTC),MINUTE(UTC),SECOND(UTC),TYPE,SPEED,DIRECTION,LATITUDE,"
    "LONGITUDE,GSENSORX,GSENSORY,GSENSORZ,GSENSORSUM";

// Name of an event type code; empty for codes without a name.
std::string_view EventTypeName(int32_t code);

// Decodes one record from up to 172 bytes; missing bytes of a short final record read as zero
// (the log readers below never pass a record cut before its last exported field).
EventLogRecord DecodeEventLogRecord(std::span<const uint8_t> bytes);
// 172 bytes of a record, the fields not read left zero (sample cards, tests).
std::vector<uint8_t> EncodeEventLogRecord(const EventLogRecord& record);

// The records of a log, in file order, up to the first whose ordering value is less than the
// previous one (the camera's ring buffer wraps there), the first record of unwritten space (all
// 0xFF as erased flash, or all zeros), or a final record cut before the end of its G-sensor sum
// (byte 108), which is left out rather than completed with made-up values. A file whose first record
// has no valid date and time of day is no event log: it has no records.
std::vector<EventLogRecord> ReadEventLog(std::span<const uint8_t> bytes);

// One CSV line without its line end. Numbers are written as the camera wrote them, with six
// decimals; only NaN and infinities (no number at all) leave their field empty.
std::string FormatEventLogLine(const EventLogRecord& record);

struct EventLogExportResult {
    bool ok = false;
    int lines = 0;             // records written
    std::string error;         // empty when ok
    std::string note;          // when ok: why the log ended early (a record cut short, erased space)
    size_t cutRecordBytes = 0; // when ok: the bytes of a last record cut short and left out; 0 if none
};

// Writes the header and one CR LF line per record of `logPath` into `csvPath`, a record at a time
// (memory stays flat whatever the log's size). The log must be a regular file whose first record
// is an event record (else the export fails and writes nothing); the CSV replaces `csvPath` only
// once it is complete (see ReplacingWriter).
EventLogExportResult ExportEventLog(const std::filesystem::path& logPath,
                                    const std::filesystem::path& csvPath);
