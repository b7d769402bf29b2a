#include "core/container/RecordingWriter.h"

#include "core/common/ByteSource.h"
#include "core/common/ReplacingWriter.h"
#include "core/container/Riff.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

class Bytes {
public:
    void u32(uint32_t v) {
        uint8_t b[4];
        writeLe32(b, v);
        m_data.insert(m_data.end(), b, b + 4);
    }
    void u16(uint16_t v) {
        uint8_t b[2];
        writeLe16(b, v);
        m_data.insert(m_data.end(), b, b + 2);
    }
    void raw(const void* p, size_t n) {
        auto* b = static_cast<const uint8_t*>(p);
        m_data.insert(m_data.end(), b, b + n);
    }
    size_t size() const { return m_data.size(); }
    std::vector<uint8_t>& data() { return m_data; }
    // Starts a chunk; returns the position of its size field for end().
    size_t begin(uint32_t id) {
        u32(id);
        u32(0);
        return m_data.size() - 4;
    }
    void end(size_t sizeField) {
        writeLe32(&m_data[sizeField], uint32_t(m_data.size() - sizeField - 4));
        if (m_data.size() & 1)
            m_data.push_back(0);
    }

private:
    std::vector<uint8_t> m_data;
};

constexpr size_t kOutputBuffer = 4 << 20;

uint32_t chunkId(int stream, const char* kind) {
    char s[5] = {char('0' + stream / 10), char('0' + stream % 10), kind[0], kind[1], 0};
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

} // namespace

std::unique_ptr<RecordingWriter> RecordingWriter::create(const std::filesystem::path& path,
                                                         const RecordingLayout& layout, RecordingForm form,
                                                         std::string* error) {
    auto setError = [&](const std::string& text) {
        if (error)
            *error = text;
        return nullptr;
    };
    if (layout.video.empty() || layout.video.size() > 4)
        return setError("a recording needs 1 to 4 video channels");
    for (const auto& v : layout.video)
        if (v.width == 0 || v.height == 0 || v.fpsNum == 0 || v.fpsDen == 0)
            return setError("video channel without size or frame rate");

    std::unique_ptr<RecordingWriter> w(new RecordingWriter);
    w->m_path = path;
    w->m_layout = layout;
    w->m_form = form;
    // A merge writes a gigabyte in a few seconds: large blocks, and no wait for the disk unless a
    // previous file is replaced.
    w->m_out = std::make_unique<ReplacingWriter>(path, ReplacingWriter::Sync::WhenReplacing);
    if (!w->m_out->isOpen())
        return setError(w->m_out->error());
    w->m_out->setBufferSize(kOutputBuffer);

    const auto& v0 = layout.video.front();
    int streamCount = int(layout.video.size()) + (layout.audio ? 1 : 0) + (layout.dataRecords ? 1 : 0);
    w->m_streams.resize(streamCount);

    Bytes b;
    b.u32(form == RecordingForm::Camera ? kCameraRiffSignature : kFccRiff);
    b.u32(0);
    b.u32(form == RecordingForm::Camera ? kCameraFormSignature : kFccAvi);
    size_t hdrl = b.begin(kFccList);
    b.u32(kFccHdrl);
    size_t avih = b.begin(kFccAvih);
    w->m_avihOffset = b.size();
    b.u32(uint32_t(uint64_t(1000000) * v0.fpsDen / v0.fpsNum)); // microseconds per frame
    b.u32(0);                                                   // max bytes per second
    b.u32(0);                                                   // padding granularity
    b.u32(kAviIsInterleaved);                                   // flags; has-index set by finish()
    b.u32(0);                                                   // total frames, set by finish()
    b.u32(0);                                                   // initial frames
    b.u32(uint32_t(streamCount));
    b.u32(1 << 20); // suggested buffer size
    b.u32(v0.width);
    b.u32(v0.height);
    for (int i = 0; i < 4; ++i)
        b.u32(0);
    b.end(avih);

    auto streamHeader = [&](int stream, uint32_t type, uint32_t handler, uint32_t scale, uint32_t rate,
                            uint32_t sampleSize, uint16_t w16, uint16_t h16) {
        size_t strh = b.begin(kFccStrh);
        w->m_streams[stream].strhOffset = b.size();
        w->m_streams[stream].sampleSize = sampleSize;
        b.u32(type);
        b.u32(handler);
        b.u32(0); // flags
        b.u16(0); // priority
        b.u16(0); // language
        b.u32(0); // initial frames
        b.u32(scale);
        b.u32(rate);
        b.u32(0);          // start
        b.u32(0);          // length, set by finish()
        b.u32(0);          // suggested buffer size
        b.u32(0xFFFFFFFF); // quality: default
        b.u32(sampleSize);
        b.u16(0);
        b.u16(0);
        b.u16(w16);
        b.u16(h16);
        b.end(strh);
    };
    auto streamName = [&](const std::string& name) {
        size_t strn = b.begin(kFccStrn);
        b.raw(name.c_str(), name.size() + 1);
        b.end(strn);
    };

    int stream = 0;
    for (size_t ch = 0; ch < layout.video.size(); ++ch, ++stream) {
        const auto& v = layout.video[ch];
        size_t strl = b.begin(kFccList);
        b.u32(kFccStrl);
        streamHeader(stream, kFccVids, fourcc("H264"), v.fpsDen, v.fpsNum, 0, uint16_t(v.width),
                     uint16_t(v.height));
        size_t strf = b.begin(kFccStrf);
        b.u32(40);
        b.u32(v.width);
        b.u32(v.height);
        b.u16(1);
        b.u16(24);
        b.u32(fourcc("H264"));
        b.u32(v.width * v.height * 3);
        for (int i = 0; i < 4; ++i)
            b.u32(0);
        b.end(strf);
        streamName("Video " + std::to_string(ch + 1));
        b.end(strl);
    }
    if (layout.audio) {
        const auto& a = *layout.audio;
        w->m_audioStream = stream;
        size_t strl = b.begin(kFccList);
        b.u32(kFccStrl);
        uint16_t blockAlign = uint16_t(a.channels * (a.bitsPerSample / 8));
        if (a.codec == AudioCodec::Aac)
            streamHeader(stream, kFccAuds, 0, 1024, a.sampleRate, 0, 0, 0);
        else
            streamHeader(stream, kFccAuds, 0, blockAlign, a.sampleRate * blockAlign, blockAlign, 0, 0);
        size_t strf = b.begin(kFccStrf);
        if (a.codec == AudioCodec::Aac) {
            b.u16(0x00FF);
            b.u16(a.channels);
            b.u32(a.sampleRate);
            b.u32(a.averageBytesPerSecond);
            b.u16(1);
            b.u16(16);
            b.u16(uint16_t(a.codecConfig.size()));
            b.raw(a.codecConfig.data(), a.codecConfig.size());
        } else {
            b.u16(1);
            b.u16(a.channels);
            b.u32(a.sampleRate);
            b.u32(a.sampleRate * blockAlign);
            b.u16(blockAlign);
            b.u16(a.bitsPerSample);
            b.u16(0);
        }
        b.end(strf);
        streamName("Audio");
        b.end(strl);
        ++stream;
    }
    if (layout.dataRecords) {
        w->m_dataStream = stream;
        size_t strl = b.begin(kFccList);
        b.u32(kFccStrl);
        // One nominal millisecond per record; players that time text chunks need a scale above 1.
        streamHeader(stream, kFccTxts, 0, 10, 10000, 0, 0, 0);
        size_t strf = b.begin(kFccStrf);
        b.u32(0);
        b.end(strf);
        streamName("Data");
        b.end(strl);
        ++stream;
    }
    b.end(hdrl);

    w->m_moviOffset = b.size();
    b.u32(kFccList);
    b.u32(0);
    b.u32(kFccMovi);
    if (!w->m_out->write({reinterpret_cast<const char*>(b.data().data()), b.size()}))
        return setError(w->m_out->error());
    w->m_pos = b.size();
    return w;
}

RecordingWriter::~RecordingWriter() = default;

bool RecordingWriter::fail(const std::string& text) {
    if (m_error.empty())
        m_error = text;
    return false;
}

bool RecordingWriter::writeFailed() {
    return fail(m_out && !m_out->error().empty() ? m_out->error() : "write error on " + m_path.string());
}

void RecordingWriter::setSizeLimit(uint64_t bytes) {
    m_sizeLimit = std::min(bytes, kMaxRecordingSize);
}

bool RecordingWriter::room(size_t size) {
    if (!m_out || m_closed)
        return fail("recording already closed");
    // The chunk, its index entry and the index header must all fit under the limit, so that the
    // recording can still be finished with everything written so far.
    const uint64_t after = m_pos + 8 + paddedSize(size) + 8 + (m_index.size() + 1) * 16;
    if (size > 0x7FFFFFFF || after > m_sizeLimit)
        return fail(kRecordingFull);
    return true;
}

bool RecordingWriter::writeChunk(uint32_t id, int stream, const uint8_t* data, size_t size, uint32_t flags,
                                 const uint8_t* prefix) {
    const size_t total = size + (prefix ? 4 : 0);
    if (!room(total))
        return false;
    const size_t padded = size_t(paddedSize(total));
    if (8 + padded <= m_out->bufferSize()) {
        uint8_t* at = m_out->reserve(8 + padded);
        if (!at)
            return writeFailed();
        writeLe32(at, id);
        writeLe32(at + 4, uint32_t(total));
        if (prefix)
            std::memcpy(at + 8, prefix, 4);
        if (size)
            std::memcpy(at + 8 + (prefix ? 4 : 0), data, size);
        if (total & 1)
            at[8 + total] = 0;
    } else {
        uint8_t head[12];
        writeLe32(head, id);
        writeLe32(head + 4, uint32_t(total));
        if (prefix)
            std::memcpy(head + 8, prefix, 4);
        const char pad = 0;
        if (!m_out->write({reinterpret_cast<const char*>(head), prefix ? 12u : 8u}) ||
            !m_out->write({reinterpret_cast<const char*>(data), size}) ||
            ((total & 1) && !m_out->write({&pad, 1})))
            return writeFailed();
    }
    m_index.push_back({id, flags, uint32_t(m_pos - (m_moviOffset + 8)), uint32_t(total)});
    m_pos += 8 + padded;
    m_streams[stream].chunks += 1;
    m_streams[stream].bytes += total;
    return true;
}

bool RecordingWriter::writeVideoFrame(int channel, const uint8_t* data, size_t size, bool keyFrame) {
    if (channel < 0 || channel >= int(m_layout.video.size()))
        return fail("no such video channel");
    if (size < 4)
        return fail("video frame shorter than its start code");
    uint32_t flags = keyFrame ? kAviIndexKeyFrame : 0;
    if (m_form == RecordingForm::Standard)
        return writeChunk(chunkId(channel, "dc"), channel, data, size, flags);
    // The camera keeps the length of the rest of the frame where the start code belongs.
    uint32_t rest = uint32_t(size - 4);
    const uint8_t prefix[4] = {uint8_t(rest >> 24), uint8_t(rest >> 16), uint8_t(rest >> 8), uint8_t(rest)};
    return writeChunk(chunkId(channel, "dc"), channel, data + 4, size - 4, flags, prefix);
}

RecordingWriter::CopyResult RecordingWriter::copyVideoChunk(int channel, const ByteSource& source,
                                                            uint64_t chunkOffset, uint32_t sourceId, uint32_t size,
                                                            bool keyFrame) {
    if (channel < 0 || channel >= int(m_layout.video.size()))
        return fail("no such video channel"), CopyResult::WriteFailed;
    if (size < 4)
        return fail("video frame shorter than its start code"), CopyResult::WriteFailed;
    if (!room(size))
        return CopyResult::WriteFailed;
    // The chunk comes with its header in one read (in pieces of the buffer's size when it is
    // larger); the header is checked and then overwritten with this file's.
    const uint32_t id = chunkId(channel, "dc");
    uint64_t from = chunkOffset;
    size_t left = 8 + size_t(size);
    bool first = true;
    while (left > 0) {
        const size_t piece = std::min(left, m_out->bufferSize());
        uint8_t* at = m_out->reserve(piece);
        if (!at)
            return writeFailed(), CopyResult::WriteFailed;
        if (!source.readExact(from, at, piece)) {
            m_closed = true; // the buffer holds a part of a chunk: nothing more goes in
            return fail("read error"), CopyResult::ReadFailed;
        }
        if (first) {
            if (readLe32(at) != sourceId || readLe32(at + 4) != size) {
                m_closed = true;
                return fail("the chunk does not match the index"), CopyResult::HeaderMismatch;
            }
            writeLe32(at, id);
            // The camera keeps the length of the rest of the frame where the start code belongs.
            const uint32_t rest = size - 4;
            if (m_form == RecordingForm::Camera)
                at[8] = uint8_t(rest >> 24), at[9] = uint8_t(rest >> 16), at[10] = uint8_t(rest >> 8),
                at[11] = uint8_t(rest);
            else
                at[8] = at[9] = at[10] = 0, at[11] = 1;
            first = false;
        }
        from += piece;
        left -= piece;
    }
    if (size & 1) {
        uint8_t* pad = m_out->reserve(1);
        if (!pad)
            return writeFailed(), CopyResult::WriteFailed;
        *pad = 0;
    }
    m_index.push_back({id, keyFrame ? kAviIndexKeyFrame : 0u, uint32_t(m_pos - (m_moviOffset + 8)), size});
    m_pos += 8 + paddedSize(size);
    m_streams[channel].chunks += 1;
    m_streams[channel].bytes += size;
    return CopyResult::Copied;
}

bool RecordingWriter::writeAudioFrame(const uint8_t* data, size_t size) {
    if (m_audioStream < 0)
        return fail("recording has no audio stream");
    return writeChunk(chunkId(m_audioStream, "wb"), m_audioStream, data, size, kAviIndexKeyFrame);
}

bool RecordingWriter::writeRecord(uint32_t timestampMs, const uint8_t* data, size_t size) {
    if (m_dataStream < 0)
        return fail("recording has no data stream");
    if (size > 1024)
        return fail("data record longer than 1024 bytes");
    uint8_t buf[4 + 1024];
    writeLe32(buf, timestampMs);
    if (size)
        std::memcpy(buf + 4, data, size);
    return writeChunk(chunkId(m_dataStream, "tx"), m_dataStream, buf, size + 4, kAviIndexKeyFrame);
}

bool RecordingWriter::patch32(uint64_t offset, uint32_t value) {
    uint8_t b[4];
    writeLe32(b, value);
    return m_out->writeAt(offset, b, 4);
}

bool RecordingWriter::finish() {
    if (!m_out || m_closed)
        return fail("recording already closed");
    const uint64_t moviEnd = m_pos;
    std::vector<uint8_t> idx(8 + m_index.size() * 16);
    writeLe32(idx.data(), kFccIdx1);
    writeLe32(idx.data() + 4, uint32_t(m_index.size() * 16));
    for (size_t i = 0; i < m_index.size(); ++i) {
        uint8_t* e = idx.data() + 8 + i * 16;
        writeLe32(e, m_index[i].id);
        writeLe32(e + 4, m_index[i].flags);
        writeLe32(e + 8, m_index[i].offset);
        writeLe32(e + 12, m_index[i].size);
    }
    bool ok = m_out->write({reinterpret_cast<const char*>(idx.data()), idx.size()});
    const uint64_t end = moviEnd + idx.size();
    ok = ok && patch32(4, uint32_t(end - 8));
    ok = ok && patch32(m_moviOffset + 4, uint32_t(moviEnd - m_moviOffset - 8));
    ok = ok && patch32(m_avihOffset + kAvihFlagsOffset, kAviIsInterleaved | kAviHasIndex);
    ok = ok && patch32(m_avihOffset + kAvihTotalFramesOffset, m_streams[0].chunks);
    for (const auto& s : m_streams) {
        uint32_t length = s.sampleSize ? uint32_t(s.bytes / s.sampleSize) : s.chunks;
        ok = ok && patch32(s.strhOffset + kStrhLengthOffset, length);
    }
    return ok ? close() : (writeFailed(), discard(), false);
}

bool RecordingWriter::abandon() {
    if (!m_out || m_closed)
        return fail("recording already closed");
    return close();
}

bool RecordingWriter::close() {
    m_closed = true;
    if (!m_out->commit())
        return writeFailed();
    return true;
}

void RecordingWriter::discard() {
    m_closed = true;
    if (m_out)
        m_out->discard();
}
