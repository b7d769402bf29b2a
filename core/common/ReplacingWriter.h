// Writing an output file under a temporary name beside it and renaming it over the target once it
// is complete, so a full disk, a failed write or a cancelled run keeps the previous file as it was.
// A symbolic link at the target is followed (the file it names is replaced and the link stays);
// a target that exists but is no regular file (a device, a pipe, a folder) is refused.
// Used by the core writers of exports and camera files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class ReplacingWriter {
public:
    explicit ReplacingWriter(const std::filesystem::path& target);
    ~ReplacingWriter(); // an uncommitted temporary file is removed
    ReplacingWriter(const ReplacingWriter&) = delete;
    ReplacingWriter& operator=(const ReplacingWriter&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Appends bytes; false (and error() set) when the write fails. Buffered.
    bool write(std::string_view bytes);
    // Flushes, syncs and renames the temporary file over the target. False with error() set.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void discard();
    const std::string& error() const { return m_error; }

private:
    bool flush();
    bool failed(const std::string& what, int error);

    std::filesystem::path m_target; // the file that is replaced (symbolic links resolved)
    std::filesystem::path m_shown;  // the path as given, for messages
    std::filesystem::path m_temp;
    std::string m_buffer;
    std::string m_error;
    int m_fd = -1;
};
