#include "core/common/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFile OpenRegularFile(const std::filesystem::path& path) {
    RegularFile file;
    // O_NONBLOCK keeps open() of a FIFO without a writer from waiting forever; it is cleared again
    // once the file is known to be a regular one.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        file.error = path.string() + ": " + std::strerror(errno);
        return file;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        file.error = path.string() + ": " + std::strerror(errno);
        ::close(fd);
        return file;
    }
    if (!S_ISREG(st.st_mode)) {
        file.error =
            path.string() + (S_ISDIR(st.st_mode) ? ": is a folder, not a file"
                                                 : ": is not a regular file (device, pipe or socket)");
        ::close(fd);
        return file;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file.fd = fd;
    file.size = uint64_t(st.st_size);
    return file;
}

bool ReadFileStart(const std::filesystem::path& path, size_t limit, std::string& bytes, std::string* error) {
    bytes.clear();
    RegularFile file = OpenRegularFile(path);
    if (file.fd < 0) {
        if (error)
            *error = file.error;
        return false;
    }
    bytes.resize(size_t(std::min<uint64_t>(file.size, limit)));
    size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        ssize_t n = ::read(file.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            if (error)
                *error = path.string() + ": " + std::strerror(errno);
        }
        if (n <= 0)
            break;
        done += size_t(n);
    }
    bytes.resize(done);
    ::close(file.fd);
    return ok;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::string* error) {
    std::string bytes;
    if (!ReadFileStart(path, SIZE_MAX, bytes, error))
        return std::nullopt;
    return bytes;
}
