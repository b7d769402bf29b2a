#include "core/index/RecordingTrackReader.h"

#include "core/container/RecordingReader.h"

#include <span>

bool DecodeGsensorRecord(const uint8_t* r, uint32_t n, GsensorReading* out) {
    if (n == 0)
        return false;
    auto byteAt = [&](uint32_t i) -> int { return i < n ? r[i] : 0; };
    switch (r[0]) {
    case '2':
    case '4':
    case '8':
    case 'M': {
        const double range = r[0] == '2' ? 2.0 : r[0] == '4' ? 4.0 : 8.0;
        const double perG = 128.0 / range;
        out->x = (byteAt(1) - 128) / perG;
        out->y = (byteAt(2) - 128) / perG;
        out->z = (byteAt(3) - 128) / perG;
        return true;
    }
    case 'S': {
        const int code = byteAt(1);
        auto word = [&](uint32_t i) { return byteAt(i) | (byteAt(i + 1) << 8); };
        if (code == 8) {
            out->x = ((word(2) & 0xFF) - 128) / 16.0;
            out->y = ((word(4) & 0xFF) - 128) / 16.0;
            out->z = ((word(6) & 0xFF) - 128) / 16.0;
            return true;
        }
        if (code == 10) {
            out->x = ((word(2) & 0x3FF) - 512) / 128.0;
            out->y = ((word(4) & 0x3FF) - 512) / 128.0;
            out->z = ((word(6) & 0x3FF) - 512) / 128.0;
            return true;
        }
        return false;
    }
    }
    return false;
}

RecordingTrack ReadRecordingTrack(const std::filesystem::path& path) {
    RecordingTrack out;
    auto reader = RecordingReader::open(path, &out.error);
    if (!reader)
        return out;
    out.lengthMs = int64_t(reader->info().durationMs);
    out.channels = reader->info().videoChannels;
    CWBCTextData store;
    uint8_t buffer[RecordSource::kMaxRecordSize];
    uint32_t size = sizeof buffer, time = 0;
    while (reader->GetNextRecord(buffer, &size, &time) == 0) {
        if (size > 0 && buffer[0] == '$') {
            store.AddRecord(time, std::span<const uint8_t>(buffer, size));
        } else {
            GsensorReading g;
            if (DecodeGsensorRecord(buffer, size, &g)) {
                g.offsetMs = time;
                out.gsensor.push_back(g);
            }
        }
        size = sizeof buffer;
    }
    out.gps = store.gps();
    out.ok = true;
    return out;
}
