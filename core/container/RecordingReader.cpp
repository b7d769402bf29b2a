#include "core/container/RecordingReader.h"

#include "core/container/Riff.h"
#include "core/container/ScrambledFrames.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t readBe32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint64_t readBe64(const uint8_t* p) {
    return uint64_t(readBe32(p)) << 32 | readBe32(p + 4);
}

// Milliseconds from a count in units of scale/rate seconds; damaged headers can ask for more than
// any recording lasts, so the result is capped.
uint64_t toMs(double value) {
    constexpr double kCap = 1e15; // about 31,000 years
    return value >= kCap ? uint64_t(kCap) : value > 0 ? uint64_t(value + 0.5) : 0;
}

uint64_t durationOf(uint64_t units, uint32_t scale, uint32_t rate) {
    if (!rate)
        return 0;
    return toMs(double(units) * scale * 1000.0 / rate);
}

// MP4 boxes: calls visit(type, dataOffset, dataEnd) for each box in [begin, end).
template <typename Visit> bool walkBoxes(const ByteSource& src, uint64_t begin, uint64_t end, Visit visit) {
    uint64_t pos = begin;
    int guard = 0;
    while (pos + 8 <= end && ++guard < 10000) {
        uint8_t h[16];
        if (!src.readExact(pos, h, 8))
            return false;
        uint64_t size = readBe32(h);
        uint64_t headerSize = 8;
        if (size == 1) {
            if (!src.readExact(pos + 8, h + 8, 8))
                return false;
            size = readBe64(h + 8);
            headerSize = 16;
        } else if (size == 0) {
            size = end - pos;
        }
        if (size < headerSize || size > end - pos) // a 64-bit size can wrap pos + size
            return false;
        visit(readLe32(h + 4), pos + headerSize, pos + size);
        pos += size;
    }
    return true;
}

} // namespace

const char* ContainerFormName(ContainerForm form) {
    switch (form) {
    case ContainerForm::Camera:
        return "camera";
    case ContainerForm::StandardAvi:
        return "AVI";
    case ContainerForm::Mp4:
        return "MP4";
    }
    return "?";
}

std::unique_ptr<RecordingReader> RecordingReader::open(const std::filesystem::path& path,
                                                       std::string* error) {
    std::string why;
    auto file = FileByteSource::open(path, &why);
    if (!file) {
        if (error)
            *error = why;
        return nullptr;
    }
    auto reader = openSource(std::move(file), &why);
    if (!reader && error)
        *error = path.filename().string() + ": " + why;
    return reader;
}

std::unique_ptr<RecordingReader> RecordingReader::openMemory(const void* data, size_t size,
                                                             std::string* error) {
    return openSource(std::make_unique<MemoryByteSource>(data, size), error);
}

std::unique_ptr<RecordingReader> RecordingReader::openSource(std::unique_ptr<ByteSource> source,
                                                             std::string* error) {
    std::unique_ptr<RecordingReader> r(new RecordingReader);
    r->m_source = std::move(source);
    r->m_info.fileSize = r->m_source->size();
    if (SniffRecordingFormat(*r->m_source) == RecordingFormat::Mp4) {
        if (!r->describeMp4(error))
            return nullptr;
        return r;
    }
    if (!r->describeAvi(error))
        return nullptr;
    return r;
}

bool RecordingReader::describeAvi(std::string* error) {
    if (!ParseAviLayout(*m_source, m_layout, error))
        return false;
    m_info.changedScrambledCopy = InspectScrambleMark(*m_source, m_layout).mark == ScrambleMark::Changed;
    const AviLayout& L = m_layout;
    m_info.form = L.standardSignatures ? ContainerForm::StandardAvi : ContainerForm::Camera;
    m_info.unfinished = L.moviUnfinished || L.riffSize == 0;
    m_info.truncated = L.moviTruncated;
    m_info.beyondSizeLimit = L.fileSize > kMaxRecordingSize;

    // One pass over the index checks it and keeps the places of the data records.
    std::vector<IndexEntry> index;
    m_info.hasIndex = ReadAviIndex(*m_source, L, index, isRecordChunkId);

    // Frame counts come from the stream headers; an unfinished or damaged file needs the chunks
    // counted, which is the same walk that finds the records.
    std::vector<uint64_t> counts(L.streams.size(), 0), bytes(L.streams.size(), 0);
    bool needCount = m_info.unfinished || m_info.truncated;
    for (const auto& s : L.streams)
        needCount = needCount || s.length == 0;
    if (needCount) {
        m_records.clear();
        bool ok = WalkMovi(*m_source, L, [&](const RiffChunk& c) {
            int n = chunkStreamNumber(c.id);
            if (n >= 0 && size_t(n) < counts.size()) {
                counts[n] += 1;
                bytes[n] += c.size;
            }
            if (isRecordChunkId(c.id))
                m_records.push_back({c.offset, uint32_t(c.size)});
        });
        if (!ok) {
            if (error)
                *error = "read error in the movie data";
            return false;
        }
        m_recordsFound = true;
    }

    uint64_t longest = 0;
    for (size_t i = 0; i < L.streams.size(); ++i) {
        const AviStreamHeader& h = L.streams[i];
        StreamDescription s;
        s.number = int(i);
        s.name = h.name;
        uint64_t units = needCount ? (h.sampleSize ? bytes[i] / h.sampleSize : counts[i]) : h.length;
        if (needCount && h.length && !m_info.truncated && !m_info.unfinished)
            units = h.length;
        s.frames = h.sampleSize ? units : units;
        s.durationMs = durationOf(units, h.scale, h.rate);
        const auto& f = h.format;
        if (h.type == kFccVids) {
            s.kind = StreamKind::Video;
            s.codec = fourccText(f.size() >= 20 ? readLe32(f.data() + 16) : h.handler);
            s.width = f.size() >= 12 ? readLe32(f.data() + 4) : h.frameWidth;
            s.height = f.size() >= 12 ? readLe32(f.data() + 8) : h.frameHeight;
            s.framesPerSecond = h.scale ? double(h.rate) / h.scale : 0;
            m_info.videoChannels += 1;
            if (m_info.videoChannels == 1)
                m_info.durationMs = s.durationMs;
        } else if (h.type == kFccAuds) {
            s.kind = StreamKind::Audio;
            uint16_t tag = f.size() >= 2 ? readLe16(f.data()) : 0;
            if (f.size() >= 16) {
                s.channels = readLe16(f.data() + 2);
                s.sampleRate = readLe32(f.data() + 4);
                s.bitsPerSample = readLe16(f.data() + 14);
            }
            AudioKind kind = isAacWaveTag(tag) ? AudioKind::Aac
                             : tag == kWavePcm ? AudioKind::Pcm
                                               : AudioKind::Other;
            s.codec = kind == AudioKind::Aac   ? "AAC"
                      : kind == AudioKind::Pcm ? "PCM"
                                               : "audio " + std::to_string(tag);
            if (m_info.audio == AudioKind::None)
                m_info.audio = kind;
        } else if (h.type == kFccTxts) {
            s.kind = StreamKind::Data;
            s.codec = "records";
            s.durationMs = 0; // a nominal millisecond per record says nothing about time
            m_info.hasDataStream = true;
        } else {
            s.codec = fourccText(h.type);
        }
        longest = std::max(longest, s.durationMs);
        m_info.streams.push_back(std::move(s));
    }
    if (m_info.videoChannels == 0)
        m_info.durationMs = longest;
    if (!m_recordsFound && m_info.hasIndex) {
        for (const auto& e : index)
            m_records.push_back({e.offset, e.size});
        m_recordsFound = true;
    }
    return true;
}

bool RecordingReader::describeMp4(std::string* error) {
    m_info.form = ContainerForm::Mp4;
    const ByteSource& src = *m_source;
    bool moov = false;
    uint64_t duration = 0;
    uint32_t timescale = 0;
    bool ok = walkBoxes(src, 0, src.size(), [&](uint32_t type, uint64_t begin, uint64_t end) {
        if (type != fourcc("moov"))
            return;
        moov = true;
        walkBoxes(src, begin, end, [&](uint32_t t, uint64_t b, uint64_t e) {
            if (t == fourcc("mvhd")) {
                uint8_t d[32] = {};
                src.readAt(b, d, std::min<uint64_t>(sizeof d, e - b));
                if (d[0] == 1) {
                    timescale = readBe32(d + 20);
                    duration = readBe64(d + 24);
                } else {
                    timescale = readBe32(d + 12);
                    duration = readBe32(d + 16);
                }
            } else if (t == fourcc("trak")) {
                walkBoxes(src, b, e, [&](uint32_t t2, uint64_t b2, uint64_t e2) {
                    if (t2 != fourcc("mdia"))
                        return;
                    walkBoxes(src, b2, e2, [&](uint32_t t3, uint64_t b3, uint64_t) {
                        if (t3 != fourcc("hdlr"))
                            return;
                        uint8_t d[12] = {};
                        src.readAt(b3, d, sizeof d);
                        StreamDescription s;
                        s.number = int(m_info.streams.size());
                        uint32_t handler = readLe32(d + 8);
                        if (handler == fourcc("vide")) {
                            s.kind = StreamKind::Video;
                            s.codec = "video";
                            m_info.videoChannels += 1;
                        } else if (handler == fourcc("soun")) {
                            s.kind = StreamKind::Audio;
                            s.codec = "audio";
                            if (m_info.audio == AudioKind::None)
                                m_info.audio = AudioKind::Other;
                        } else {
                            s.codec = fourccText(handler);
                        }
                        m_info.streams.push_back(std::move(s));
                    });
                });
            }
        });
    });
    if (!moov) {
        if (error)
            *error = ok ? "MP4 file without a movie header" : "damaged MP4 file";
        return false;
    }
    m_info.durationMs = timescale ? toMs(double(duration) * 1000.0 / timescale) : 0;
    m_recordsFound = true; // MP4 recordings carry no data records
    return true;
}

void RecordingReader::findRecords() {
    m_recordsFound = true;
    m_records.clear();
    std::vector<IndexEntry> index;
    if (ReadAviIndex(*m_source, m_layout, index, isRecordChunkId)) {
        for (const auto& e : index)
            m_records.push_back({e.offset, e.size});
        return;
    }
    walkRecords(0);
}

void RecordingReader::walkRecords(uint64_t from) {
    m_records.clear();
    WalkMovi(*m_source, m_layout, [&](const RiffChunk& c) {
        if (isRecordChunkId(c.id) && c.offset >= from)
            m_records.push_back({c.offset, uint32_t(c.size)});
    });
}

int RecordingReader::GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t* timestampMs) {
    if (!size || !timestampMs)
        return 1;
    if (!m_recordsFound)
        findRecords();
    while (m_next < m_records.size()) {
        const RecordPlace place = m_records[m_next++];
        if (place.size < 4)
            continue; // no room for the time stamp: not a record
        uint8_t chunk[8 + 4 + kMaxRecordSize];
        const size_t want = 8 + std::min<size_t>(place.size, 4 + kMaxRecordSize);
        if (!m_ahead)
            m_ahead = std::make_unique<ReadAheadSource>(*m_source);
        if (!m_ahead->readExact(place.offset, chunk, want))
            continue;
        if (!isRecordChunkId(readLe32(chunk)) || readLe32(chunk + 4) != place.size) {
            if (m_walked)
                continue; // the file changed under us
            // The index disagrees with the file: trust the chunks themselves from here on.
            m_walked = true;
            walkRecords(place.offset);
            m_next = 0;
            continue;
        }
        const uint32_t length = uint32_t(std::min<size_t>({want - 12, *size, kMaxRecordSize}));
        if (length && buffer)
            std::memcpy(buffer, chunk + 12, length);
        *size = length;
        *timestampMs = readLe32(chunk + 8);
        return 0;
    }
    return 1;
}

void RecordingReader::Rewind() {
    m_next = 0;
    if (m_walked) // after an index mismatch the list holds only the tail
        walkRecords(0);
}

RecordingFormat SniffRecordingFormat(const void* head, size_t size) {
    const auto* h = static_cast<const uint8_t*>(head);
    if (size >= 12 && readLe32(h) == kFccRiff && readLe32(h + 8) == kFccAvi)
        return RecordingFormat::Avi;
    if (size >= 8 && readLe32(h + 4) == fourcc("ftyp"))
        return RecordingFormat::Mp4;
    return RecordingFormat::Unknown;
}

RecordingFormat SniffRecordingFormat(const ByteSource& source) {
    uint8_t head[12] = {};
    int64_t got = source.readAt(0, head, sizeof head);
    return SniffRecordingFormat(head, got > 0 ? static_cast<size_t>(got) : 0);
}
