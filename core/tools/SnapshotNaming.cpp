#include "core/tools/SnapshotNaming.h"

#include "core/config/ViewerConfig.h"
#include "core/recordings/RecordingName.h"

#include <algorithm>
#include <cctype>

namespace {

bool endsWithNoCase(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size())
        return false;
    return std::equal(
        tail.begin(), tail.end(), text.end() - static_cast<std::ptrdiff_t>(tail.size()), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
}

std::string withoutExtension(const std::string& fileName) {
    return fileName.size() > 4 ? fileName.substr(0, fileName.size() - 4) : fileName;
}

} // namespace

std::string PictureBaseName(uint32_t captureFlags, const std::string& fileName, uint64_t creationFileTime,
                            int64_t positionMs) {
    const bool addpos = (captureFlags & kFlagAddpos) != 0;
    std::string stamp;
    if (captureFlags & kFlagFiletime) {
        if (FormatStamp(creationFileTime, addpos ? positionMs : 0, true, stamp))
            return stamp;
    } else if (addpos) {
        if (StampFromName(fileName, stamp, positionMs))
            return stamp;
    }
    return withoutExtension(fileName);
}

std::string ProposedSnapshotName(const std::string& baseName) {
    return baseName + "_CHx.jpg";
}

std::filesystem::path SnapshotChannelPath(const std::filesystem::path& chosen, int channel) {
    const std::string name = chosen.filename().string();
    std::string stem;
    // "_CH" + one character + ".jpg": the proposed form, possibly with the user's own base.
    if (name.size() >= 8 && endsWithNoCase(name, ".jpg") &&
        endsWithNoCase(name.substr(0, name.size() - 5), "_CH"))
        stem = name.substr(0, name.size() - 5);
    else if (endsWithNoCase(name, ".jpg") && name.size() > 4)
        stem = name.substr(0, name.size() - 4) + "_CH";
    else if (endsWithNoCase(name, ".jpeg") && name.size() > 5)
        stem = name.substr(0, name.size() - 5) + "_CH";
    else
        stem = name + "_CH";
    return chosen.parent_path() / (stem + std::to_string(channel) + ".jpg");
}

std::filesystem::path ReportPicturePath(const std::filesystem::path& folder, const std::string& baseName,
                                        int channel) {
    return folder / (baseName + "_" + std::to_string(channel) + ".jpg");
}
