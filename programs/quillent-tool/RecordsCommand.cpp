// "records": the data records of a recording, one line each, with their time stamps.
#include "ToolCommand.h"
#include "core/container/RecordingReader.h"
#include "core/container/ScrambledFrames.h"

#include <cstdio>
#include <string>

namespace {

std::string hex(const uint8_t* p, uint32_t n, uint32_t limit = 32) {
    std::string s;
    char b[4];
    for (uint32_t i = 0; i < n && i < limit; ++i) {
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", p[i]);
        s += b;
    }
    if (n > limit)
        s += " ...";
    return s;
}

std::string printable(const uint8_t* p, uint32_t n) {
    std::string s;
    for (uint32_t i = 0; i < n && p[i]; ++i)
        s += (p[i] >= 0x20 && p[i] < 0x7f) || p[i] >= 0x80 ? char(p[i]) : '.';
    return s;
}

std::string describe(const uint8_t* r, uint32_t n) {
    if (n == 0)
        return "(empty)";
    switch (r[0]) {
    case '$':
    case 'I':
        return printable(r, n);
    case 'M':
    case '2':
    case '4':
    case '8':
        return std::string(1, char(r[0])) + " G-sensor " + hex(r + 1, n - 1, 3);
    case 'S':
        return "S G-sensor, code " + std::to_string(n > 1 ? r[1] : 0) + ": " +
               hex(r + 2, n > 2 ? n - 2 : 0, 6);
    case 'V':
    case 0:
        return std::string(r[0] ? "V" : "0") + " setup record (" + std::to_string(n) + " bytes)";
    case 'Z':
        return "Z setup piece " + std::string(1, n > 1 ? char(r[1]) : '?') + " (" +
               std::to_string(n > 2 ? n - 2 : 0) + " bytes)";
    }
    return "? " + hex(r, n);
}

} // namespace

int RunRecords(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return UsageError("records", args.empty() ? "no recording given" : "one recording at a time");
    std::string error;
    auto reader = RecordingReader::open(args[0], &error);
    if (!reader) {
        std::fprintf(stderr, "quillent-tool records: %s\n", error.c_str());
        return kExitFailed;
    }
    const bool changed = reader->info().changedScrambledCopy;
    if (changed)
        std::fprintf(stderr, "quillent-tool records: warning: %s\n", ChangedCopyText(args[0]).c_str());
    uint8_t buffer[RecordSource::kMaxRecordSize];
    uint32_t size = sizeof buffer, time = 0;
    int count = 0;
    while (reader->GetNextRecord(buffer, &size, &time) == 0) {
        std::printf("%02u:%02u.%03u  %s\n", time / 60000, time / 1000 % 60, time % 1000,
                    describe(buffer, size).c_str());
        size = sizeof buffer;
        ++count;
    }
    std::fprintf(stderr, "%d records\n", count);
    return changed ? kExitRepaired : kExitOk;
}
