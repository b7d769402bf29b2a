#include "core/common/RegularFile.h"

#include <cerrno>
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
