#include "core/container/ScrambledCopy.h"

#include "core/container/AviLayout.h"
#include "core/common/ByteSource.h"
#include "core/container/ChunkWalker.h"
#include "core/container/FrameScrambler.h"
#include "core/container/RecordingWriter.h"
#include "core/container/RepairedView.h"
#include "core/container/Riff.h"
#include "core/container/ScrambledFrames.h"
#include "core/common/FileReplace.h"
#include "core/common/ReplacingWriter.h"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <unistd.h>
#include <vector>

#include <sodium.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t kOutBuffer = 4u << 20;

// The repaired view as a byte source (the view reads with positional reads only).
class ViewSource : public ByteSource {
public:
    explicit ViewSource(RepairedView& view) : m_view(&view) {}
    uint64_t size() const override { return m_view->size(); }
    int64_t readAt(uint64_t offset, void* buf, size_t len) const override {
        return m_view->read(offset, buf, len);
    }

private:
    RepairedView* m_view;
};

// The copy's output: written front to back through one buffer, with positional patches, by the
// safe writer (a temporary name beside the target that takes the target's name when kept).
class OutFile {
public:
    explicit OutFile(const fs::path& target) : m_writer(target, ReplacingWriter::Sync::WhenReplacing) {
        m_writer.setBufferSize(kOutBuffer);
    }
    bool isOpen() const { return m_writer.isOpen(); }
    const std::string& error() const { return m_writer.error(); }
    int fd() const { return m_writer.fd(); }
    uint64_t position() const { return m_writer.size(); }
    bool write(const void* data, size_t n) {
        return m_writer.write(std::string_view(static_cast<const char*>(data), n));
    }
    bool flush() { return m_writer.flush(); }
    // `n` bytes appended that the caller fills in before the next call (at most bufferSize()).
    uint8_t* reserve(size_t n) { return m_writer.reserve(n); }
    size_t bufferSize() const { return m_writer.bufferSize(); }
    void setFlushObserver(std::function<void(const uint8_t*, size_t)> observer) {
        m_writer.setFlushObserver(std::move(observer));
    }
    bool patch(uint64_t at, const void* data, size_t n) { return m_writer.writeAt(at, data, n); }
    // Gives the complete file the target's name.
    bool keep() { return m_writer.commit(); }

private:
    ReplacingWriter m_writer;
};

struct RewriteOptions {
    bool cameraForm = false;                   // camera signatures and frame prefixes
    const FrameScrambler* scrambler = nullptr; // scramble frame payloads at their output offsets
    std::vector<uint8_t> chunkAfterHeader;     // a whole chunk written after the header list
    bool dropScrambleChunk = false;            // leave out the (renamed) scramble chunk of the source
};

CopyOutcome failed(int code, std::string text = {}) {
    return {code, text.empty() ? ConvertResultText(code) : std::move(text)};
}

// One chunk of the movi list into `out`: video frames get the form's prefix and, when scrambling,
// their payload after it goes through the key stream on its way from the source's window into the
// output buffer (no other copy is made).
bool copyChunk(const ByteSource& src, const RiffChunk& m, OutFile& out, const RewriteOptions& options,
               std::vector<uint8_t>& buf) {
    const size_t total = size_t(m.next - m.offset);
    const uint64_t outData = out.position() + 8;
    const uint8_t* in = src.peek(m.offset, total);
    uint8_t* to = total <= out.bufferSize() ? out.reserve(total) : nullptr;
    const bool own = !to;
    if (own) {
        // A chunk larger than the output buffer: through a buffer of its own.
        buf.resize(total);
        if (!src.readExact(m.offset, buf.data(), total))
            return false;
        in = to = buf.data();
    } else if (!in) {
        if (!src.readExact(m.offset, to, total))
            return false;
        in = to;
    }
    const bool video = isVideoChunkId(m.id) && m.size >= 4 && total >= 12;
    const size_t clear = video ? 12 : total;
    if (to != in)
        std::memcpy(to, in, clear);
    if (video) {
        uint8_t* data = to + 8;
        if (options.cameraForm) {
            const uint32_t rest = uint32_t(m.size - 4);
            data[0] = uint8_t(rest >> 24), data[1] = uint8_t(rest >> 16);
            data[2] = uint8_t(rest >> 8), data[3] = uint8_t(rest);
        } else {
            data[0] = data[1] = data[2] = 0, data[3] = 1;
        }
        // The payload after the prefix; the pad byte after it stays as it is.
        const size_t payload = size_t(std::min<uint64_t>(m.size, total - 8)) - FrameScrambler::kClearPrefix;
        if (options.scrambler && payload > 0)
            options.scrambler->apply(outData + FrameScrambler::kClearPrefix, in + 12, to + 12, payload);
        else if (to != in)
            std::memcpy(to + 12, in + 12, payload);
        if (to != in)
            std::memcpy(to + 12 + payload, in + 12 + payload, total - 12 - payload);
    }
    return !own || out.write(buf.data(), total);
}

// Rewrites a well-formed standard AVI (a repaired view) into `out` chunk by chunk. Returns the
// output offset of the inserted chunk through *insertedAt.
CopyOutcome rewrite(const ByteSource& view, OutFile& out, const RewriteOptions& options,
                    const ConvertProgress& progress, uint64_t* insertedAt) {
    AviLayout layout;
    std::string why;
    if (!ParseAviLayout(view, layout, &why))
        return failed(kConvertShortHeader, why);
    ReadAheadSource src(view, 4u << 20);
    uint8_t head[12];
    if (!src.readExact(0, head, 12))
        return failed(kConvertWriteFailed);
    writeLe32(head, options.cameraForm ? RecordingWriter::kCameraRiffSignature : kFccRiff);
    writeLe32(head + 8, options.cameraForm ? RecordingWriter::kCameraFormSignature : kFccAvi);
    // The size the copy is expected to have; set right at the end when it comes out otherwise.
    writeLe32(head + 4, uint32_t(readLe32(head + 4) + options.chunkAfterHeader.size()));
    if (!out.write(head, 12))
        return failed(kConvertWriteFailed);

    std::vector<uint8_t> buf;
    auto copyRange = [&](uint64_t begin, uint64_t end) {
        while (begin < end) {
            const size_t n = size_t(std::min<uint64_t>(end - begin, 1u << 20));
            buf.resize(n);
            if (!src.readExact(begin, buf.data(), n) || !out.write(buf.data(), n))
                return false;
            begin += n;
        }
        return true;
    };
    const uint64_t total = view.size();
    ChunkWalker top(src, 12, total);
    RiffChunk c;
    while (top.next(c)) {
        if (c.truncated)
            break;
        const bool list = c.id == kFccList && c.hasListType;
        if (list && c.listType == kFccMovi) {
            if (!copyRange(c.offset, c.offset + 12))
                return failed(kConvertWriteFailed);
            ChunkWalker inner(src, c.offset + 12, c.dataOffset() + c.size);
            RiffChunk m;
            while (inner.next(m)) {
                if (m.truncated)
                    break;
                if (!copyChunk(src, m, out, options, buf))
                    return failed(kConvertWriteFailed);
                if (progress && (m.next & ~uint64_t(0xFFFFF)) != (m.offset & ~uint64_t(0xFFFFF)) &&
                    !progress(m.next, total))
                    return failed(kConvertCancelled);
            }
            if (inner.failed())
                return failed(kConvertWriteFailed);
            continue;
        }
        if (c.id == kFccIdx1) {
            std::vector<IndexEntry> entries;
            if (!ReadAviIndex(src, layout, entries)) {
                if (!copyRange(c.offset, c.next))
                    return failed(kConvertWriteFailed);
                continue;
            }
            // Movi-relative offsets: the chunks before the movi list may have changed in size.
            std::vector<uint8_t> idx(8 + entries.size() * 16);
            writeLe32(idx.data(), kFccIdx1);
            writeLe32(idx.data() + 4, uint32_t(entries.size() * 16));
            for (size_t i = 0; i < entries.size(); ++i) {
                uint8_t* e = idx.data() + 8 + i * 16;
                writeLe32(e, entries[i].id);
                writeLe32(e + 4, entries[i].flags);
                writeLe32(e + 8, uint32_t(entries[i].offset - (layout.moviOffset + 8)));
                writeLe32(e + 12, entries[i].size);
            }
            if (!out.write(idx.data(), idx.size()))
                return failed(kConvertWriteFailed);
            continue;
        }
        if (options.dropScrambleChunk && c.id == fourcc("JUNK") && c.size >= 4) {
            uint8_t magic[4];
            if (src.readExact(c.dataOffset(), magic, 4) && readLe32(magic) == ScrambleHeader::kMagic)
                continue;
        }
        if (!copyRange(c.offset, c.next))
            return failed(kConvertWriteFailed);
        if (list && c.listType == kFccHdrl && !options.chunkAfterHeader.empty()) {
            *insertedAt = out.position();
            if (!out.write(options.chunkAfterHeader.data(), options.chunkAfterHeader.size()))
                return failed(kConvertWriteFailed);
        }
    }
    if (top.failed())
        return failed(kConvertWriteFailed);
    uint8_t riffSize[4];
    writeLe32(riffSize, uint32_t(out.position() - 8));
    if (!out.patch(4, riffSize, 4))
        return failed(kConvertWriteFailed);
    if (progress && !progress(total, total))
        return failed(kConvertCancelled);
    return {};
}

// BLAKE2b-256 of a file's bytes with the digest field (digestAt, 32 bytes) read as zero.
bool fileDigest(int fd, uint64_t size, uint64_t digestAt, uint8_t out[32], const ConvertProgress& progress,
                bool* cancelled) {
    crypto_generichash_state hash;
    crypto_generichash_init(&hash, nullptr, 0, 32);
    std::vector<uint8_t> buf(4u << 20);
    uint64_t at = 0;
    while (at < size) {
        const size_t want = size_t(std::min<uint64_t>(buf.size(), size - at));
        ssize_t n = ::pread(fd, buf.data(), want, off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        for (uint64_t b = std::max(at, digestAt); b < std::min(at + uint64_t(n), digestAt + 32); ++b)
            buf[size_t(b - at)] = 0;
        crypto_generichash_update(&hash, buf.data(), size_t(n));
        at += uint64_t(n);
        if (progress && !progress(at, size)) {
            *cancelled = true;
            return false;
        }
    }
    crypto_generichash_final(&hash, out, 32);
    return true;
}

// The digest of the copy taken from its bytes as they are written, on a thread of its own so that
// hashing runs beside the reading, scrambling and writing. The RIFF size at the front is known only
// at the end: the digest counts on the size the copy is expected to have and holds only when the
// copy came out that size (else the file is read back).
class StreamDigest {
public:
    StreamDigest() { crypto_generichash_init(&m_state, nullptr, 0, 32); }
    ~StreamDigest() { stop(); }
    StreamDigest(const StreamDigest&) = delete;
    StreamDigest& operator=(const StreamDigest&) = delete;

    // The next bytes of the file, in order from its start.
    void add(const uint8_t* bytes, size_t n) {
        for (size_t i = 0; i < n && m_seen + i < 8; ++i)
            m_front[m_seen + i] = bytes[i];
        m_seen += n;
        std::vector<uint8_t> piece;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_worker.joinable())
                m_worker = std::thread([this] { run(); });
            m_changed.wait(lock, [this] { return m_queue.size() < kQueued; });
            piece = std::move(m_spare);
        }
        piece.assign(bytes, bytes + n);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.push_back(std::move(piece));
        }
        m_changed.notify_all();
    }
    // The digest of the `size` bytes seen, when the RIFF size among them was the final one.
    bool result(uint64_t size, uint8_t out[32]) {
        stop();
        return m_seen == size && size >= 8 && readLe32(m_front + 4) == uint32_t(size - 8) &&
               crypto_generichash_final(&m_state, out, 32) == 0;
    }

private:
    static constexpr size_t kQueued = 2; // pieces waiting for the hash (each an output buffer)

    void run() {
        for (;;) {
            std::vector<uint8_t> piece;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_queue.empty() || m_ending; });
                if (m_queue.empty())
                    return;
                piece = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_changed.notify_all();
            crypto_generichash_update(&m_state, piece.data(), piece.size());
            std::lock_guard<std::mutex> lock(m_mutex);
            m_spare = std::move(piece); // its memory serves the next piece
        }
    }
    // Hashes what is queued and ends the thread.
    void stop() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ending = true;
        }
        m_changed.notify_all();
        if (m_worker.joinable())
            m_worker.join();
    }

    crypto_generichash_state m_state;
    uint8_t m_front[8] = {};
    uint64_t m_seen = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<uint8_t>> m_queue;
    std::vector<uint8_t> m_spare;
    bool m_ending = false;
    std::thread m_worker;
};

std::array<uint8_t, 12> randomNonce() {
    std::random_device random;
    std::array<uint8_t, 12> nonce;
    for (size_t i = 0; i < nonce.size(); i += 4) {
        const uint32_t v = random();
        std::memcpy(nonce.data() + i, &v, 4);
    }
    return nonce;
}

// Both ends of a copy: the source read through the repaired view, and the temporary file beside
// the target that becomes the target when the copy is whole.
struct CopyEnds {
    std::unique_ptr<RepairedView> view;
    std::optional<OutFile> out;
};

CopyOutcome openEnds(const fs::path& target, const fs::path& source, CopyEnds& ends) {
    std::string why;
    ends.view = RepairedView::open(source, &why);
    if (!ends.view)
        return failed(kConvertNoSource, why);
    if (IsSameFile(source, target))
        return failed(kConvertNoOutput, "the copy would replace the recording itself");
    ends.out.emplace(target);
    if (!ends.out->isOpen())
        return failed(kConvertNoOutput, ends.out->error());
    return {};
}

} // namespace

CopyOutcome ScrambledCopy(const fs::path& target, const fs::path& source, const ConvertProgress& progress) {
    CopyEnds ends;
    if (CopyOutcome opened = openEnds(target, source, ends); !opened.ok())
        return opened;
    OutFile& out = *ends.out;

    ScrambleHeader header;
    header.nonce = randomNonce();
    const FrameScrambler scrambler(header.nonce);
    RewriteOptions options;
    options.cameraForm = true;
    options.scrambler = &scrambler;
    const auto data = header.encode();
    options.chunkAfterHeader.resize(8 + data.size());
    writeLe32(options.chunkAfterHeader.data(), ScrambleHeader::kChunkId);
    writeLe32(options.chunkAfterHeader.data() + 4, uint32_t(data.size()));
    std::memcpy(options.chunkAfterHeader.data() + 8, data.data(), data.size());

    // The copy takes nine tenths of the progress, the digest the rest.
    const ConvertProgress copyProgress = [&](uint64_t done, uint64_t total) {
        return !progress || progress(done * 9 / 10, total);
    };
    uint64_t insertedAt = 0;
    ViewSource viewSource(*ends.view);
    // The digest is taken from the bytes on their way out (the digest field is still zero then).
    StreamDigest streamed;
    out.setFlushObserver([&streamed](const uint8_t* bytes, size_t n) { streamed.add(bytes, n); });
    CopyOutcome result = rewrite(viewSource, out, options, copyProgress, &insertedAt);
    if (!result.ok())
        return result;
    if (!insertedAt)
        return failed(kConvertShortHeader, "the recording has no header list");
    if (!out.flush())
        return failed(kConvertWriteFailed);
    out.setFlushObserver({});
    const uint64_t digestAt = insertedAt + 8 + ScrambleHeader::kDigestOffset;
    uint8_t digest[32];
    bool cancelled = false;
    const uint64_t size = out.position();
    const ConvertProgress hashProgress = [&](uint64_t done, uint64_t total) {
        return !progress || progress(total * 9 / 10 + done / 10, total);
    };
    if (streamed.result(size, digest)) {
        if (!hashProgress(size, size))
            return failed(kConvertCancelled);
    } else if (!fileDigest(out.fd(), size, digestAt, digest, hashProgress, &cancelled)) {
        return failed(cancelled ? kConvertCancelled : kConvertWriteFailed);
    }
    if (!out.patch(digestAt, digest, 32) || !out.keep())
        return failed(kConvertWriteFailed, out.error().empty() ? std::string() : out.error());
    return {};
}

CopyOutcome VerifyScrambledCopy(const fs::path& path, const ConvertProgress& progress) {
    std::string why;
    auto file = FileByteSource::open(path, &why);
    if (!file)
        return failed(kConvertNoSource, why);
    AviLayout layout;
    if (!ParseAviLayout(*file, layout, &why))
        return failed(kConvertNoSource, why);
    const ScrambleInspection inspected = InspectScrambleMark(*file, layout);
    if (inspected.mark == ScrambleMark::Changed)
        return failed(kConvertDamaged, ChangedCopyText(path.filename().string()));
    const auto& chunk = inspected.chunk;
    if (!chunk)
        return failed(kConvertNoSource, path.filename().string() + " is not a scrambled copy");
    uint8_t digest[32];
    bool cancelled = false;
    const uint64_t digestAt = chunk->offset + 8 + ScrambleHeader::kDigestOffset;
    if (!fileDigest(file->fd(), file->size(), digestAt, digest, progress, &cancelled))
        return failed(cancelled ? kConvertCancelled : kConvertNoSource,
                      cancelled ? std::string() : "read error in " + path.string());
    if (std::memcmp(digest, chunk->header.digest.data(), 32) != 0)
        return failed(kConvertDamaged);
    return {};
}

CopyOutcome UnscrambledCopy(const fs::path& target, const fs::path& source, ClearForm form,
                            const ConvertProgress& progress) {
    const ConvertProgress verifyProgress = [&](uint64_t done, uint64_t total) {
        return !progress || progress(done / 2, total);
    };
    CopyOutcome verified = VerifyScrambledCopy(source, verifyProgress);
    if (!verified.ok())
        return verified;
    CopyEnds ends;
    if (CopyOutcome opened = openEnds(target, source, ends); !opened.ok())
        return opened;
    OutFile& out = *ends.out;
    RewriteOptions options;
    options.cameraForm = form == ClearForm::Camera;
    options.dropScrambleChunk = true;
    const ConvertProgress copyProgress = [&](uint64_t done, uint64_t total) {
        return !progress || progress(total / 2 + done / 2, total);
    };
    uint64_t insertedAt = 0;
    ViewSource viewSource(*ends.view);
    CopyOutcome result = rewrite(viewSource, out, options, copyProgress, &insertedAt);
    if (!result.ok())
        return result;
    if (!out.keep())
        return failed(kConvertWriteFailed, out.error());
    return {};
}

bool IsScrambledRecording(const fs::path& path) {
    auto file = FileByteSource::open(path, nullptr);
    AviLayout layout;
    return file && ParseAviLayout(*file, layout, nullptr) &&
           InspectScrambleMark(*file, layout).mark != ScrambleMark::None;
}
