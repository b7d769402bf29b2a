// Opens a recording (camera form, unfinished or cut short, standard AVI; MP4 for its outline only)
// and tells its streams and duration; delivers its data records in file order with their time
// stamps. Used by the record loop of an opened recording, the tools and the command-line tool.
#pragma once

#include "core/container/AviLayout.h"
#include "core/common/ByteSource.h"
#include "core/container/RecordSource.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

enum class ContainerForm {
    Camera,      // RIFF/AVI structure with the camera's signatures and frame prefix
    StandardAvi, // a plain AVI file (converted, merged or written by other software)
    Mp4,         // an MP4 file: outline only, no data records
};

enum class StreamKind { Video, Audio, Data, Other };
enum class AudioKind { None, Aac, Pcm, Other };

struct StreamDescription {
    StreamKind kind = StreamKind::Other;
    int number = 0;    // stream number as in the chunk identifiers ("01dc" is 1)
    std::string codec; // "H264", "AAC", "PCM", "records", or the four-character code
    uint32_t width = 0, height = 0;
    double framesPerSecond = 0;
    uint32_t sampleRate = 0;
    uint16_t channels = 0; // audio channels
    uint16_t bitsPerSample = 0;
    uint64_t frames = 0; // chunks (or PCM blocks) in the file
    uint64_t durationMs = 0;
    std::string name;
};

struct RecordingInfo {
    ContainerForm form = ContainerForm::Camera;
    bool unfinished = false; // zero sizes: the camera did not close the file
    bool truncated = false;  // the file ends inside a chunk
    bool hasIndex = false;   // a usable idx1 chunk is present
    // Larger than the 32-bit sizes describe (kMaxRecordingSize): its RIFF size has wrapped, so it
    // is neither finished nor indexed whatever its fields say, and the player refuses it.
    bool beyondSizeLimit = false;
    uint64_t fileSize = 0;
    uint64_t durationMs = 0; // of the first video channel (else the longest stream)
    int videoChannels = 0;
    AudioKind audio = AudioKind::None;
    bool hasDataStream = false;
    // A scrambled copy whose announcement does not check out: its video is not to be trusted
    // (see InspectScrambleMark); the data records are not scrambled and read as they are.
    bool changedScrambledCopy = false;
    std::vector<StreamDescription> streams;
};

class RecordingReader : public RecordSource {
public:
    // nullptr and a readable *error when the file is not a recording or cannot be read.
    static std::unique_ptr<RecordingReader> open(const std::filesystem::path& path, std::string* error);
    // The same over bytes in memory (fuzzers, tests); the memory must outlive the reader.
    static std::unique_ptr<RecordingReader> openMemory(const void* data, size_t size, std::string* error);

    const RecordingInfo& info() const { return m_info; }

    // RecordSource: the next data record (chunk data after its 4-byte time stamp, at most
    // min(*size, 1024) bytes). Reads only chunk headers, the index and record chunks.
    int GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t* timestampMs) override;
    void Rewind() override;

private:
    RecordingReader() = default;
    static std::unique_ptr<RecordingReader> openSource(std::unique_ptr<ByteSource> source,
                                                       std::string* error);
    bool describeAvi(std::string* error);
    bool describeMp4(std::string* error);
    void findRecords();
    // Replaces the record list by the record chunks the movi walk finds at or after `from`.
    void walkRecords(uint64_t from);

    struct RecordPlace {
        uint64_t offset; // chunk header
        uint32_t size;   // chunk data size
    };

    std::unique_ptr<ByteSource> m_source;
    std::unique_ptr<ReadAheadSource> m_ahead; // record reads in file order
    std::vector<uint8_t> m_memoryCopy;
    AviLayout m_layout;
    RecordingInfo m_info;
    std::vector<RecordPlace> m_records;
    bool m_recordsFound = false;
    bool m_walked = false; // records found by walking after the index proved wrong
    size_t m_next = 0;
};

// Text of a form for messages and the tool ("camera", "AVI", "MP4").
const char* ContainerFormName(ContainerForm form);

// The container a file's first bytes name: "RIFF" with "AVI " is AVI, an "ftyp" box at byte 4 is
// MP4; anything else (a camera-form file without signatures, too few bytes) is Unknown.
// The one format check of the program: the reader, the converter and the player ask it.
enum class RecordingFormat { Unknown, Avi, Mp4 };
RecordingFormat SniffRecordingFormat(const void* head, size_t size);
// The same for the first bytes of `source`.
RecordingFormat SniffRecordingFormat(const ByteSource& source);
