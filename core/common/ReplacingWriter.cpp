#include "core/common/ReplacingWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kCloseInBackground = 32u << 20;
constexpr size_t kCopyBlock = 4u << 20; // copyFrom() through memory: one read and one write a block

// Follows symbolic links from `path` (at most 40, as the kernel does); a dangling link resolves to
// the file it would name.
fs::path resolveLinks(fs::path path) {
    std::error_code ec;
    for (int i = 0; i < 40 && fs::is_symlink(fs::symlink_status(path, ec)); ++i) {
        fs::path next = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// Why an existing target may not be replaced; empty when it is a regular file or nothing is there.
std::string refusal(const fs::path& shown, const struct stat& st) {
    if (S_ISREG(st.st_mode))
        return {};
    return shown.string() + (S_ISDIR(st.st_mode) ? " is a folder" : " is not a regular file") +
           "; choose a file name";
}

} // namespace

ReplacingWriter::ReplacingWriter(const fs::path& target, Sync sync, Mode mode)
    : m_shown(target), m_sync(sync), m_mode(mode) {
    m_target = resolveLinks(target);
    struct stat st {};
    mode_t permissions = 0644;
    if (::lstat(m_target.c_str(), &st) == 0) {
        if (m_error = refusal(m_shown, st); !m_error.empty())
            return;
        if (m_mode == Mode::NewFile) {
            m_taken = true;
            m_error = m_shown.string() + " exists already";
            return;
        }
        permissions = st.st_mode & 07777;
        m_replacing = true;
    }
    // The process id keeps two programs writing the same file from sharing one temporary name.
    m_temp = m_target;
    m_temp += ".part" + std::to_string(::getpid());
    ::unlink(m_temp.c_str()); // a leftover of a crashed run; never write through a link there
    // O_EXCL: whatever is planted at the temporary name meanwhile (a link, a device) fails the open.
    m_fd = ::open(m_temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_error = "cannot create " + m_shown.string() + ": " + std::strerror(errno);
        return;
    }
    ::fchmod(m_fd, permissions);
}

ReplacingWriter::~ReplacingWriter() {
    discard();
}

bool ReplacingWriter::failed(const std::string& what, int error) {
    m_error = what + " " + m_shown.string() + ": " + std::strerror(error);
    discard();
    return false;
}

bool ReplacingWriter::flush() {
    if (m_observer && m_used)
        m_observer(m_buffer.get(), m_used);
    size_t done = 0;
    while (done < m_used) {
        ssize_t n = ::write(m_fd, m_buffer.get() + done, m_used - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failed("cannot write", n < 0 ? errno : ENOSPC);
        done += size_t(n);
    }
    m_written += m_used;
    m_used = 0;
    return true;
}

void ReplacingWriter::setBufferSize(size_t bytes) {
    if (m_fd < 0 || m_used || bytes == 0)
        return;
    m_capacity = bytes;
    m_buffer.reset();
}

uint8_t* ReplacingWriter::reserve(size_t size) {
    if (m_fd < 0 || size > m_capacity)
        return nullptr;
    if (m_used + size > m_capacity && !flush())
        return nullptr;
    if (!m_buffer)
        m_buffer.reset(new uint8_t[m_capacity]);
    uint8_t* at = m_buffer.get() + m_used;
    m_used += size;
    return at;
}

bool ReplacingWriter::write(std::string_view bytes) {
    if (m_fd < 0)
        return false;
    while (!bytes.empty()) {
        const size_t n = std::min(bytes.size(), m_capacity);
        uint8_t* at = reserve(n);
        if (!at)
            return false;
        std::memcpy(at, bytes.data(), n);
        bytes.remove_prefix(n);
    }
    return true;
}

bool ReplacingWriter::writeAt(uint64_t offset, const void* bytes, size_t size) {
    if (m_fd < 0)
        return false;
    if (offset + size > m_written && !flush())
        return false;
    auto* from = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        ssize_t n = ::pwrite(m_fd, from, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failed("cannot write", n < 0 ? errno : ENOSPC);
        from += n;
        offset += uint64_t(n);
        size -= size_t(n);
    }
    return true;
}

bool ReplacingWriter::truncate(uint64_t size) {
    if (m_fd < 0 || !flush())
        return false;
    if (size > m_written)
        return true;
    if (::ftruncate(m_fd, off_t(size)) != 0 || ::lseek(m_fd, off_t(size), SEEK_SET) < 0)
        return failed("cannot write", errno);
    m_written = size;
    return true;
}

int64_t ReplacingWriter::copyFrom(int sourceFd, uint64_t sourceOffset, uint64_t length) {
    if (m_fd < 0 || !flush())
        return -1;
    uint64_t done = 0;
    while (m_kernelCopy && done < length) {
        loff_t from = loff_t(sourceOffset + done);
        const ssize_t n = ::copy_file_range(sourceFd, &from, m_fd, nullptr,
                                            size_t(std::min<uint64_t>(length - done, 1u << 30)), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            m_kernelCopy = false; // these files cannot: read and write through memory
            break;
        }
        if (n < 0)
            return failed("cannot write", errno), -1;
        if (n == 0)
            return int64_t(done); // the source ends here
        done += uint64_t(n);
        m_written += uint64_t(n);
    }
    if (done == length)
        return int64_t(done);
    std::unique_ptr<uint8_t[]> block(new uint8_t[kCopyBlock]);
    while (done < length) {
        const ssize_t n = ::pread(sourceFd, block.get(), size_t(std::min<uint64_t>(length - done, kCopyBlock)),
                                  off_t(sourceOffset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            discard();
            m_error = "cannot read the source of " + m_shown.string() + ": " + std::strerror(error);
            return -1;
        }
        if (n == 0)
            break;
        for (ssize_t put = 0; put < n;) {
            const ssize_t w = ::write(m_fd, block.get() + put, size_t(n - put));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return failed("cannot write", w < 0 ? errno : ENOSPC), -1;
            put += w;
        }
        done += uint64_t(n);
        m_written += uint64_t(n);
    }
    return int64_t(done);
}

bool ReplacingWriter::commit() {
    if (m_fd < 0)
        return false;
    if (!flush())
        return false;
    if ((m_sync == Sync::Always || m_replacing) && ::fsync(m_fd) != 0)
        return failed("cannot write", errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        m_fd = -2; // closed: discard() only removes the file
        return failed("cannot write", errno);
    }
    if (m_mode == Mode::NewFile)
        return commitNew();
    // The target may have changed since the writer opened: a device or pipe put there is never
    // replaced.
    struct stat st {};
    if (::lstat(m_target.c_str(), &st) == 0) {
        if (std::string why = refusal(m_shown, st); !why.empty()) {
            discard();
            m_error = why;
            return false;
        }
    }
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        m_fd = -2;
        return failed("cannot replace", errno);
    }
    m_temp.clear();
    return true;
}

bool ReplacingWriter::commitNew() {
    // The name is taken only while it is free: a file that appeared there meanwhile is never
    // replaced (a hard link where the file system cannot rename so).
    for (int attempt = 0; attempt < 100; ++attempt) {
        int result = ::renameat2(AT_FDCWD, m_temp.c_str(), AT_FDCWD, m_target.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            result = ::link(m_temp.c_str(), m_target.c_str());
            if (result == 0)
                ::unlink(m_temp.c_str());
        }
        if (result == 0) {
            m_temp.clear();
            return true;
        }
        const int error = errno;
        m_fd = -2;
        if (error != EEXIST)
            return failed("cannot write", error);
        const fs::path other = m_chooseAgain ? m_chooseAgain(m_target) : fs::path();
        if (other.empty() || other.parent_path() != m_target.parent_path()) {
            m_taken = true;
            discard();
            m_error = m_shown.string() + " exists already";
            return false;
        }
        m_target = other;
        m_shown = other;
    }
    m_taken = true;
    discard();
    m_error = m_shown.string() + " exists already";
    return false;
}

void ReplacingWriter::discard() {
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    if (m_fd >= 0) {
        // Giving back the pages of a large file takes the kernel tens of milliseconds per hundred
        // megabytes; its name is gone already, so a cancelled merge ends at once and the space is
        // freed in the background.
        if (size() >= kCloseInBackground)
            std::thread([fd = m_fd] { ::close(fd); }).detach();
        else
            ::close(m_fd);
    }
    m_fd = -1;
    m_temp.clear();
    m_used = 0;
}
