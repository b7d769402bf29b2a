#include "core/container/ChannelMerge.h"

#include "core/container/AviLayout.h"
#include "core/common/ByteSource.h"
#include "core/container/ChunkWalker.h"
#include "core/container/RecordingWriter.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledFrames.h"

#include <cstring>
#include <memory>
#include <optional>

namespace fs = std::filesystem;

namespace {

struct SourceStreams {
    int video = -1; // stream numbers
    int audio = -1;
    int data = -1;
    VideoTrackSpec spec;
    std::optional<AudioTrackSpec> sound;
};

std::optional<AudioTrackSpec> audioSpec(const AviStreamHeader& s) {
    const auto& f = s.format;
    if (f.size() < 16)
        return std::nullopt;
    AudioTrackSpec a;
    const uint16_t tag = readLe16(f.data());
    a.channels = readLe16(f.data() + 2);
    a.sampleRate = readLe32(f.data() + 4);
    a.averageBytesPerSecond = readLe32(f.data() + 8);
    a.bitsPerSample = readLe16(f.data() + 14);
    if (tag == 1) {
        a.codec = AudioCodec::Pcm;
    } else if (tag == 0x00FF && f.size() >= 18) {
        a.codec = AudioCodec::Aac;
        const size_t extra = std::min<size_t>(readLe16(f.data() + 16), f.size() - 18);
        a.codecConfig.assign(f.begin() + 18, f.begin() + 18 + long(extra));
    } else {
        return std::nullopt; // a sound this program does not play is left out
    }
    return a;
}

bool sameSound(const std::optional<AudioTrackSpec>& a, const std::optional<AudioTrackSpec>& b) {
    if (!a || !b)
        return !a && !b;
    return a->codec == b->codec && a->sampleRate == b->sampleRate && a->channels == b->channels &&
           a->bitsPerSample == b->bitsPerSample && a->codecConfig == b->codecConfig;
}

std::optional<SourceStreams> findStreams(const AviLayout& layout, int channelIndex, std::string* why) {
    SourceStreams s;
    int videoSeen = 0;
    for (size_t i = 0; i < layout.streams.size(); ++i) {
        const auto& st = layout.streams[i];
        if (st.type == kFccVids && videoSeen++ == channelIndex) {
            s.video = int(i);
            s.spec.fpsNum = st.rate;
            s.spec.fpsDen = st.scale;
            if (st.format.size() >= 12) {
                s.spec.width = readLe32(st.format.data() + 4);
                s.spec.height = uint32_t(std::abs(int32_t(readLe32(st.format.data() + 8))));
            } else {
                s.spec.width = st.frameWidth;
                s.spec.height = st.frameHeight;
            }
        } else if (st.type == kFccAuds && s.audio < 0) {
            s.audio = int(i);
            s.sound = audioSpec(st);
            if (!s.sound)
                s.audio = -1;
        } else if (st.type == kFccTxts && s.data < 0) {
            s.data = int(i);
        }
    }
    if (s.video < 0) {
        *why = "has no channel " + std::to_string(channelIndex + 1);
        return std::nullopt;
    }
    if (!s.spec.width || !s.spec.height || !s.spec.fpsNum || !s.spec.fpsDen) {
        *why = "channel " + std::to_string(channelIndex + 1) + " has no picture size or frame rate";
        return std::nullopt;
    }
    return s;
}

// A frame starts a picture that needs no other: after its 4-byte prefix comes an SPS or an IDR
// slice (access unit delimiters and SEI in front are stepped over).
bool isKeyFrame(const uint8_t* d, size_t n) {
    size_t at = 4;
    for (int guard = 0; guard < 8 && at < n; ++guard) {
        const int type = d[at] & 0x1F;
        if (type == 5 || type == 7)
            return true;
        if (type != 9 && type != 6)
            return false;
        size_t next = at + 1;
        while (next + 3 <= n && next < 4096 && !(d[next] == 0 && d[next + 1] == 0 && d[next + 2] == 1))
            ++next;
        if (next + 3 > n || next >= 4096)
            return false;
        at = next + 3;
    }
    return false;
}

struct Opened {
    std::unique_ptr<FileByteSource> file;
    AviLayout layout;
    SourceStreams streams;
    // Walks over the chunk headers read the file in large blocks. The chunks merged are read one
    // by one straight into the output buffer: a channel is a part of the file, and reading all of
    // it costs more than the reads it saves.
    std::unique_ptr<BlockCacheSource> blocks;
    const ByteSource& source() {
        if (!blocks)
            blocks = std::make_unique<BlockCacheSource>(*file);
        return *blocks;
    }
};

// Frames of the merged channel in one source: the stream header's count in a closed file, else
// counted from the chunk headers.
uint64_t channelFrames(Opened& o) {
    const auto& st = o.layout.streams[size_t(o.streams.video)];
    if (o.layout.hasIdx1 && !o.layout.moviUnfinished && !o.layout.moviTruncated && st.length)
        return st.length;
    uint64_t frames = 0;
    WalkMovi(o.source(), o.layout, [&](const RiffChunk& c) {
        if (chunkStreamNumber(c.id) == o.streams.video && isVideoChunkId(c.id) && c.size >= 4)
            ++frames;
    });
    return frames;
}

} // namespace

std::string MergedFileName(const std::string& firstFileName, int channel) {
    std::string stem = firstFileName.size() > 4 ? firstFileName.substr(0, firstFileName.size() - 4) : "";
    return stem + "_CH" + std::to_string(channel) + ".qmv";
}

namespace {

struct Place {
    uint64_t offset; // chunk header
    uint32_t id;
    uint32_t size;
    int key; // video: 1 key frame, 0 not, -1 unknown (read from the frame)
};

// The chunks of the merged streams in file order: from the index of a closed file (only those
// chunks are read then), else from a walk over every chunk header.
std::vector<Place> wantedChunks(Opened& o, bool useIndex) {
    auto wanted = [&o](uint32_t id) {
        const int stream = chunkStreamNumber(id);
        return (stream == o.streams.video && isVideoChunkId(id)) ||
               (stream == o.streams.audio && o.streams.audio >= 0) ||
               (stream == o.streams.data && isRecordChunkId(id));
    };
    std::vector<Place> places;
    std::vector<IndexEntry> index;
    if (useIndex && o.layout.hasIdx1 && !o.layout.moviUnfinished && !o.layout.moviTruncated &&
        ReadAviIndex(*o.file, o.layout, index)) {
        for (const auto& e : index)
            if (wanted(e.id))
                places.push_back({e.offset, e.id, e.size, (e.flags & kAviIndexKeyFrame) ? 1 : 0});
        return places;
    }
    WalkMovi(o.source(), o.layout, [&](const RiffChunk& c) {
        if (wanted(c.id))
            places.push_back({c.offset, c.id, uint32_t(c.size), -1});
    });
    return places;
}

// Opens `path` for the merge of channel `channelIndex` and checks it has the form of `first` (none:
// it is the first). False with a reason that names the file otherwise.
bool openForMerge(const fs::path& path, int channelIndex, const Opened* first, Opened& o, std::string* why) {
    const std::string name = path.filename().string();
    o.file = FileByteSource::open(path, why);
    if (!o.file)
        return false;
    if (!ParseAviLayout(*o.file, o.layout, why)) {
        *why = name + ": " + *why;
        return false;
    }
    const ScrambleMark mark = InspectScrambleMark(*o.file, o.layout).mark;
    if (mark == ScrambleMark::Changed) {
        *why = ChangedCopyText(name);
        return false;
    }
    if (mark == ScrambleMark::Valid) {
        *why = name + ": a scrambled copy cannot be merged; copy it back first";
        return false;
    }
    auto streams = findStreams(o.layout, channelIndex, why);
    if (!streams) {
        *why = name + " " + *why;
        return false;
    }
    o.streams = *streams;
    if (first) {
        const auto& f = first->streams;
        const auto& v = o.streams.spec;
        if (v.width != f.spec.width || v.height != f.spec.height ||
            uint64_t(v.fpsNum) * f.spec.fpsDen != uint64_t(f.spec.fpsNum) * v.fpsDen) {
            *why = name + ": channel " + std::to_string(channelIndex + 1) +
                   " differs in picture size or frame rate from the first recording";
            return false;
        }
        if (!sameSound(o.streams.sound, f.sound)) {
            *why = name + ": the sound differs from the first recording's";
            return false;
        }
    }
    return true;
}

MergeOutcome mergeChannel(const fs::path& target, const std::vector<fs::path>& sources, int channelIndex,
                          const MergeProgress& progress, bool useIndex, bool* indexWrong) {
    MergeOutcome result;
    auto fail = [&](const std::string& text) {
        result.ok = false;
        result.error = text;
        return result;
    };
    if (sources.empty())
        return fail("no recording to merge");
    if (channelIndex < 0 || channelIndex > 3)
        return fail("no such channel");

    std::vector<Opened> opened;
    uint64_t total = 0;
    for (const auto& path : sources) {
        Opened o;
        std::string why;
        if (!openForMerge(path, channelIndex, opened.empty() ? nullptr : &opened.front(), o, &why))
            return fail(why);
        total += o.layout.moviEnd - o.layout.moviDataStart;
        opened.push_back(std::move(o));
    }

    const SourceStreams& first = opened.front().streams;
    RecordingLayout layout;
    layout.video = {first.spec};
    layout.audio = first.sound;
    layout.dataRecords = true;
    std::string why;
    // The writer keeps a previous file at `target` until the merged one is finished.
    auto writer = RecordingWriter::create(target, layout, RecordingForm::Camera, &why);
    if (!writer)
        return fail(why);
    auto discard = [&](const std::string& text) {
        writer->discard();
        return fail(text);
    };

    const VideoTrackSpec& v = first.spec;
    uint64_t framesBefore = 0; // frames of the channel in the recordings already joined
    uint64_t done = 0;
    uint64_t nextReport = 0;
    std::vector<uint8_t> buf;
    const auto& sound = first.sound;
    const uint32_t blockAlign =
        sound ? std::max<uint32_t>(1, sound->channels * (sound->bitsPerSample / 8)) : 1;
    for (auto& o : opened) {
        const uint32_t offsetMs = uint32_t(framesBefore * v.fpsDen * 1000 / v.fpsNum);
        // Sound is timed by its amount alone: each source's sound is cut to (PCM: also filled up
        // to) the length of its pictures, so pictures and sound stay together across the joins.
        const uint64_t videoFrames = channelFrames(o);
        const uint64_t soundLimit =
            !sound ? 0
            : sound->codec == AudioCodec::Aac
                ? (videoFrames * v.fpsDen * sound->sampleRate + uint64_t(v.fpsNum) * 1024 - 1) /
                      (uint64_t(v.fpsNum) * 1024)                                     // AAC frames
                : videoFrames * v.fpsDen * sound->sampleRate / v.fpsNum * blockAlign; // bytes
        uint64_t soundWritten = 0;
        const std::vector<Place> places = wantedChunks(o, useIndex);
        uint64_t frames = 0;
        uint64_t sourceDone = 0;
        for (const Place& c : places) {
            const int stream = chunkStreamNumber(c.id);
            const bool video = stream == o.streams.video && isVideoChunkId(c.id);
            const bool audio = stream == o.streams.audio && o.streams.audio >= 0 && !video;
            const bool record = stream == o.streams.data && isRecordChunkId(c.id);
            if (video && c.key >= 0 && c.size >= 4) {
                // Pictures of a closed file: the index knows its key frames, so the chunk goes
                // from the source into the output buffer in one read, its header checked there.
                switch (writer->copyVideoChunk(0, *o.file, c.offset, c.id, c.size, c.key == 1)) {
                case RecordingWriter::CopyResult::Copied:
                    break;
                case RecordingWriter::CopyResult::HeaderMismatch:
                    *indexWrong = true;
                    return discard("the index does not match the chunks");
                case RecordingWriter::CopyResult::ReadFailed:
                    return discard(sources[size_t(&o - opened.data())].filename().string() + ": read error");
                case RecordingWriter::CopyResult::WriteFailed:
                    return discard(writer->error());
                }
                ++frames;
            } else {
                // The chunk header comes along to check the index against the file.
                buf.resize(8 + size_t(c.size));
                if (!o.file->readExact(c.offset, buf.data(), buf.size()))
                    return discard(sources[size_t(&o - opened.data())].filename().string() + ": read error");
                if (readLe32(buf.data()) != c.id || readLe32(buf.data() + 4) != c.size) {
                    *indexWrong = true;
                    return discard("the index does not match the chunks");
                }
                const uint8_t* data = buf.data() + 8;
                const size_t size = c.size;
                bool ok = true;
                if (video && size >= 4) {
                    ok = writer->writeVideoFrame(0, data, size, isKeyFrame(data, size));
                    ++frames;
                } else if (audio && sound->codec == AudioCodec::Aac) {
                    if (soundWritten < soundLimit)
                        ok = writer->writeAudioFrame(data, size);
                    ++soundWritten;
                } else if (audio) {
                    const uint64_t n =
                        std::min<uint64_t>(size, soundLimit - std::min(soundLimit, soundWritten));
                    if (n)
                        ok = writer->writeAudioFrame(data, size_t(n));
                    soundWritten += n;
                } else if (record && size >= 4) {
                    const uint32_t stamp = readLe32(data) + offsetMs;
                    ok = writer->writeRecord(stamp, data + 4, std::min<size_t>(size - 4, 1024));
                    ++result.records;
                }
                if (!ok)
                    return discard(writer->error());
            }
            const uint64_t position = c.offset + 8 + c.size - o.layout.moviDataStart;
            done += position - std::min(position, sourceDone);
            sourceDone = std::max(sourceDone, position);
            if (progress && done >= nextReport) {
                nextReport = done + (1u << 20);
                if (!progress(total, std::min(done, total))) {
                    discard("cancelled");
                    result.cancelled = true;
                    return result;
                }
            }
        }
        if (o.file->shrank()) // what came from the blocks read before may be all that was left
            return discard(sources[size_t(&o - opened.data())].filename().string() + ": read error");
        done += (o.layout.moviEnd - o.layout.moviDataStart) -
                std::min(sourceDone, o.layout.moviEnd - o.layout.moviDataStart);
        if (sound && sound->codec == AudioCodec::Pcm && soundWritten < soundLimit) {
            const std::vector<uint8_t> silence(
                size_t(std::min<uint64_t>(soundLimit - soundWritten, 1u << 20)), 0);
            for (uint64_t left = soundLimit - soundWritten; left > 0;) {
                const size_t n = size_t(std::min<uint64_t>(left, silence.size()));
                if (!writer->writeAudioFrame(silence.data(), n))
                    return discard(writer->error());
                left -= n;
            }
        }
        framesBefore += frames;
        o.blocks.reset(); // its blocks are not read again
    }
    if (!writer->finish())
        return discard(writer->error());
    if (progress)
        progress(total, total);
    result.ok = true;
    result.frames = framesBefore;
    result.durationMs = framesBefore * v.fpsDen * 1000 / v.fpsNum;
    return result;
}

} // namespace

MergeOutcome MergeChannel(const fs::path& target, const std::vector<fs::path>& sources, int channelIndex,
                          const MergeProgress& progress) {
    bool indexWrong = false;
    MergeOutcome result = mergeChannel(target, sources, channelIndex, progress, true, &indexWrong);
    if (indexWrong) // a damaged index: every chunk header is walked instead
        result = mergeChannel(target, sources, channelIndex, progress, false, &indexWrong);
    return result;
}

size_t SameFormRun(const std::vector<std::filesystem::path>& sources, int channelIndex, std::string* why) {
    Opened first;
    size_t run = 0;
    for (const auto& path : sources) {
        Opened o;
        std::string reason;
        if (!openForMerge(path, channelIndex, run == 0 ? nullptr : &first, run == 0 ? first : o, &reason)) {
            if (why)
                *why = reason;
            break;
        }
        ++run; // only the first stays open: the others are compared with it
    }
    return run;
}
