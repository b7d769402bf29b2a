// Writes a recording: RIFF/AVI structure with one video stream per camera channel, optional audio
// (AAC or PCM) and a data-record stream, in the camera's form or as a standard AVI. Used by the
// sample-card generator, and by channel merge and copy. The file is written under a temporary name
// beside the target and takes the target's name only when finished (or deliberately abandoned):
// a failed or cancelled write keeps a previous file of that name as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ByteSource;
class ReplacingWriter;

enum class RecordingForm {
    Camera,  // camera signatures, camera frame prefix (as written on the card)
    Standard // "RIFF"/"AVI ", frames start with the H.264 start code
};

enum class AudioCodec { Aac, Pcm };

struct VideoTrackSpec {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t fpsNum = 30; // frame rate = fpsNum / fpsDen
    uint32_t fpsDen = 1;
};

struct AudioTrackSpec {
    AudioCodec codec = AudioCodec::Aac;
    uint32_t sampleRate = 44100;
    uint16_t channels = 1;
    uint16_t bitsPerSample = 16;            // PCM only
    std::vector<uint8_t> codecConfig;       // AAC AudioSpecificConfig
    uint32_t averageBytesPerSecond = 16000; // AAC: nominal; PCM: computed
};

struct RecordingLayout {
    std::vector<VideoTrackSpec> video; // one per camera channel, in channel order (at most 4)
    std::optional<AudioTrackSpec> audio;
    bool dataRecords = true;
};

// Stream numbers: video channels 0..n-1, then audio, then the data stream.
class RecordingWriter {
public:
    static std::unique_ptr<RecordingWriter> create(const std::filesystem::path& path,
                                                   const RecordingLayout& layout, RecordingForm form,
                                                   std::string* error);
    ~RecordingWriter(); // without finish() or abandon(): as discard()

    // An H.264 access unit in byte-stream form (its first four bytes are the start code; the
    // camera form replaces them with its own prefix).
    bool writeVideoFrame(int channel, const uint8_t* data, size_t size, bool keyFrame);
    // The same for a frame stored in another recording (merge): the video chunk at `chunkOffset`
    // of `source`, whose header must read `sourceId` and `size` (as the source's index says), is
    // read straight into the output buffer and its header replaced by this file's.
    enum class CopyResult { Copied, HeaderMismatch, ReadFailed, WriteFailed };
    CopyResult copyVideoChunk(int channel, const ByteSource& source, uint64_t chunkOffset, uint32_t sourceId,
                              uint32_t size, bool keyFrame);
    bool writeAudioFrame(const uint8_t* data, size_t size);
    // One data record (at most 1024 bytes) with its time stamp in ms from the recording's start.
    bool writeRecord(uint32_t timestampMs, const uint8_t* data, size_t size);

    // Appends idx1, fills in the sizes, counts and the has-index flag and gives the file its name.
    bool finish();
    // Closes the file as an unfinished recording (zero sizes and counts, no index), as a camera
    // does when its power is cut, and gives it its name (sample cards and tests make these).
    bool abandon();
    // Drops what was written; a previous file at the target stays as it was.
    void discard();

    const std::string& error() const { return m_error; }

    // The writer stops before a recording outgrows the 32-bit sizes of its format: a frame,
    // sound frame or record that would take the file with its index past the limit is refused
    // with kRecordingFull, and finish() still closes what was written as a complete recording.
    // A caller that keeps recording starts a next file. Tests set a smaller limit.
    static constexpr const char* kRecordingFull = "the recording reached the 4 GiB a recording can hold";
    void setSizeLimit(uint64_t bytes);
    bool full() const { return m_error == kRecordingFull; }

    static constexpr uint32_t kCameraRiffSignature = 0x31564d51; // "QMV1"
    static constexpr uint32_t kCameraFormSignature = 0x49564151; // "QAVI"

private:
    RecordingWriter() = default;
    bool writeChunk(uint32_t id, int stream, const uint8_t* data, size_t size, uint32_t flags,
                    const uint8_t* prefix = nullptr);
    bool room(size_t size);
    bool fail(const std::string& text);
    bool writeFailed();
    bool patch32(uint64_t offset, uint32_t value);
    bool close();

    struct IndexEntry {
        uint32_t id, flags, offset, size;
    };
    struct StreamState {
        uint64_t strhOffset = 0; // file offset of the strh data
        uint32_t chunks = 0;
        uint64_t bytes = 0;
        uint32_t sampleSize = 0;
    };

    std::unique_ptr<ReplacingWriter> m_out;
    std::filesystem::path m_path;
    RecordingLayout m_layout;
    RecordingForm m_form = RecordingForm::Standard;
    std::vector<StreamState> m_streams;
    std::vector<IndexEntry> m_index;
    uint64_t m_avihOffset = 0;
    uint64_t m_moviOffset = 0; // LIST header of movi
    uint64_t m_pos = 0;
    uint64_t m_sizeLimit = 0xFFFFFFF0ull; // kMaxRecordingSize
    int m_audioStream = -1;
    int m_dataStream = -1;
    std::string m_error;
    bool m_closed = false;
};
