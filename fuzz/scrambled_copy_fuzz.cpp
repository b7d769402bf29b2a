// Fuzzes the reading side of a scrambled copy: the search for its announcement, the check of its
// digest and the repaired view over it. Whatever the bytes, something that looks like a changed
// announcement is reported as a changed copy and never served as a clear recording.
#include "core/common/ByteSource.h"
#include "core/container/AviLayout.h"
#include "core/container/RecordingConverter.h"
#include "core/container/RepairedView.h"
#include "core/container/ScrambledCopy.h"
#include "core/container/ScrambledFrames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryByteSource bytes(data, size);
    AviLayout layout;
    const bool parsed = ParseAviLayout(bytes, layout, nullptr);
    const ScrambleMark mark = parsed ? InspectScrambleMark(bytes, layout).mark : ScrambleMark::None;

    int fd = memfd_create("copy", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    if (size && write(fd, data, size) != ssize_t(size)) {
        close(fd);
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const CopyOutcome verified = VerifyScrambledCopy(path);
    if (verified.ok() && mark != ScrambleMark::Valid)
        std::abort(); // intact, yet no valid announcement
    if (mark == ScrambleMark::Changed) {
        if (verified.code != kConvertDamaged || !IsScrambledRecording(path))
            std::abort(); // a changed copy not reported as changed
        if (RepairedView::open(path, nullptr))
            std::abort(); // a changed copy served as clear
    }
    close(fd);
    return 0;
}
