// Fuzzes the repaired view (its layout walk, index check, header patches and piecewise reads) and
// the converter over the same bytes, served from an in-memory file.
#include "core/container/RecordingConverter.h"
#include "core/container/RepairedView.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// The conversions' output folder, removed when the fuzzer exits.
struct OutputFolder {
    std::filesystem::path path;
    OutputFolder() {
        char pattern[] = "/tmp/quillent-fuzz-XXXXXX";
        if (mkdtemp(pattern))
            path = pattern;
    }
    ~OutputFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::filesystem::path& outputFolder() {
    static OutputFolder folder;
    return folder.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fd = memfd_create("recording", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (size && write(fd, data, size) != ssize_t(size)) {
        close(fd);
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    std::string error;
    if (auto view = RepairedView::open(path, &error)) {
        std::vector<uint8_t> whole(size_t(view->size()));
        if (view->read(0, whole.data(), whole.size()) != int64_t(whole.size()))
            __builtin_trap();
        // Piecewise reads must agree with the whole read.
        uint8_t piece[13];
        for (uint64_t at = 0; at < whole.size(); at += 7) {
            int64_t got = view->read(at, piece, sizeof piece);
            if (got <= 0 || std::memcmp(piece, whole.data() + at, size_t(got)) != 0)
                __builtin_trap();
        }
    }
    ConvertRecording(outputFolder(), path, true);
    std::error_code ec;
    std::filesystem::remove(outputFolder() / (std::to_string(fd) + ".avi"), ec);
    close(fd);
    return 0;
}
