// A recording as the player's source element reads it: a standard AVI byte view of a camera-form
// or unfinished recording, repaired virtually (the file itself is never written). Used by the
// playback engine's source element and by tests that compare it with converted files.
#pragma once

#include "core/common/ByteSource.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// What the view patches over the file's bytes:
//  - "RIFF" / "AVI " signatures, the RIFF size and the "movi" list size (zero or past the end);
//  - the has-index flag of the main header, zero frame counts of the main and stream headers;
//  - the first four bytes of every video frame of a camera-form file, set to 00 00 00 01;
//  - an "idx1" chunk synthesised after the "movi" list when the file has none (or a broken one);
//  - a truncated last chunk of the "movi" list is left out of the view.
// A standard AVI that needs none of this is served unchanged (isRepaired() false).
//
// Threading: open() builds an immutable patch table; read() uses positional reads only, so any
// number of threads may call read() and size() concurrently.
class RepairedView {
public:
    // nullptr and *error (when given) set to a readable reason when the file cannot be served.
    static std::unique_ptr<RepairedView> open(const std::filesystem::path& path, std::string* error);
    // The same over any byte source (taken over by the view); `name` begins every reason given.
    // A finished file with an index that describes its movi list opens from that index (a sample
    // of its entries checked against the chunk headers) without reading the frames; otherwise the
    // movi list is walked.
    static std::unique_ptr<RepairedView> open(std::unique_ptr<ByteSource> source, const std::string& name,
                                              std::string* error);

    ~RepairedView();
    RepairedView(const RepairedView&) = delete;
    RepairedView& operator=(const RepairedView&) = delete;

    uint64_t size() const; // size of the repaired view in bytes
    // Copies up to len bytes from offset; returns the bytes copied, 0 at or past the end, -1 on an
    // I/O error of the underlying file.
    int64_t read(uint64_t offset, void* buf, size_t len);
    bool isRepaired() const; // false when the file is served byte for byte unchanged

private:
    RepairedView();
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
