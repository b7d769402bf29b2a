// Fuzzes the event-log reader and the CSV line format.
#include "core/tools/EventLog.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const auto& record : ReadEventLog(std::span(data, size)))
        FormatEventLogLine(record);
    return 0;
}
