#include "core/tools/FileReplace.h"

#include <cstdio>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

std::string ReplaceFileContents(const fs::path& path, std::string_view bytes) {
    // The process id keeps two programs writing the same file from sharing one temporary name.
    fs::path temp = path;
    temp += ".part" + std::to_string(::getpid());
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out)
        return "cannot create " + path.string();
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    written = std::fflush(out) == 0 && written;
    written = ::fsync(::fileno(out)) == 0 && written;
    written = std::fclose(out) == 0 && written;
    std::error_code ec;
    if (written)
        fs::rename(temp, path, ec);
    if (!written || ec) {
        fs::remove(temp, ec);
        return "cannot write " + path.string();
    }
    return {};
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}
