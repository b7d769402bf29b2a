// Fuzzes the chunk walker and the recording reader: layout, stream description and record delivery
// over arbitrary bytes.
#include "core/container/AviLayout.h"
#include "core/container/RecordingReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryByteSource source(data, size);
    ChunkWalker walker(source, 12, size, ChunkWalker::ZeroSize::RestOfRange);
    RiffChunk chunk;
    while (walker.next(chunk)) {
    }
    std::string error;
    auto reader = RecordingReader::openMemory(data, size, &error);
    if (!reader)
        return 0;
    uint8_t buffer[1024];
    for (int pass = 0; pass < 2; ++pass) {
        uint32_t bufferSize = pass ? 3 : 1024, time = 0;
        int n = 0;
        while (reader->GetNextRecord(buffer, &bufferSize, &time) == 0 && ++n < 100000) {
            if (bufferSize > 1024)
                __builtin_trap();
            bufferSize = pass ? 3 : 1024;
        }
        reader->Rewind();
    }
    return 0;
}
