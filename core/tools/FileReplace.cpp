#include "core/tools/FileReplace.h"

#include "core/common/ReplacingWriter.h"

#include <system_error>

namespace fs = std::filesystem;

std::string ReplaceFileContents(const fs::path& path, std::string_view bytes) {
    ReplacingWriter out(path);
    if (out.isOpen() && out.write(bytes) && out.commit())
        return {};
    return out.error();
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}
