// Fuzzes the data-record filing of an opened recording: GPS sentences into both sample kinds, and
// every other record type through the store and the record loop.
#include "core/trackdata/RecordingDataLoader.h"
#include "core/trackdata/TrackData.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

// Delivers the fuzz input as records: [size byte][bytes]...
class FuzzSource : public RecordSource {
public:
    FuzzSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    int GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t* timestampMs) override {
        if (m_pos >= m_size)
            return 1;
        size_t length = m_data[m_pos++] * 4u;
        length = std::min<size_t>({length, m_size - m_pos, size_t{*size}, size_t{kMaxRecordSize}});
        std::copy(m_data + m_pos, m_data + m_pos + length, buffer);
        m_pos += length;
        *size = static_cast<uint32_t>(length);
        *timestampMs = static_cast<uint32_t>(m_pos * 100);
        return 0;
    }
    void Rewind() override { m_pos = 0; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    CGpsData sample;
    sample.ParseSentence(text);
    CWBCTextData store;
    std::vector<uint8_t> record(data, data + size);
    record.insert(record.begin(), '$');
    store.AddRecord(1000, record);
    store.AddRecord(1000, std::span(data, size));
    store.FindGpsAfter(500);

    FuzzSource source(data, size);
    RecordingDataLoader loader;
    RecordingData result = loader.Load(&source);
    ComputeEventMarks(result.gps);
    SampleIndexForPosition(static_cast<int64_t>(size) * 997, result.gps.size(), static_cast<int64_t>(size));
    return 0;
}
