#include "media/playback/RecordingBytes.h"

#include "core/container/RepairedView.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file as it is; pread keeps concurrent readers independent of a shared file offset.
class PlainFileBytes final : public RecordingBytes {
public:
    PlainFileBytes(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~PlainFileBytes() override { ::close(m_fd); }
    uint64_t size() const override { return m_size; }
    int64_t read(uint64_t offset, void* buffer, size_t length) override {
        size_t done = 0;
        while (done < length) {
            ssize_t n = ::pread(m_fd, static_cast<char*>(buffer) + done, length - done,
                                static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        return static_cast<int64_t>(done);
    }

private:
    int m_fd;
    uint64_t m_size;
};

class RepairedBytes final : public RecordingBytes {
public:
    explicit RepairedBytes(std::unique_ptr<RepairedView> view) : m_view(std::move(view)) {}
    uint64_t size() const override { return m_view->size(); }
    int64_t read(uint64_t offset, void* buffer, size_t length) override {
        return m_view->read(offset, buffer, length);
    }
    bool isRepaired() const override { return m_view->isRepaired(); }

private:
    std::unique_ptr<RepairedView> m_view;
};

std::unique_ptr<RecordingBytes> openPlainFile(const std::filesystem::path& path, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = "cannot open " + path.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = path.string() + " is not a regular file";
        return nullptr;
    }
    return std::make_unique<PlainFileBytes>(fd, static_cast<uint64_t>(st.st_size));
}

} // namespace

std::unique_ptr<RecordingBytes> openRecordingBytes(const std::filesystem::path& path, std::string* error) {
    if (path.empty()) {
        if (error)
            *error = "no recording given";
        return nullptr;
    }
    // The repaired view serves camera-form files and leaves standard AVI as it is; MP4 and other
    // standard containers it does not take are read straight from the file.
    std::string viewError;
    if (auto view = RepairedView::open(path, &viewError))
        return std::make_unique<RepairedBytes>(std::move(view));
    auto plain = openPlainFile(path, error);
    if (!plain)
        return nullptr;
    char head[12] = {};
    if (plain->read(0, head, sizeof head) == static_cast<int64_t>(sizeof head) &&
        std::memcmp(head + 4, "ftyp", 4) == 0)
        return plain;
    if (error)
        *error = viewError.empty() ? "not a recording" : viewError;
    return nullptr;
}
