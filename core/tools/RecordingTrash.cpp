#include "core/tools/RecordingTrash.h"

#include "core/common/ReplacingWriter.h"

#include <QString>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The home trash: $XDG_DATA_HOME/Trash, else ~/.local/share/Trash. Empty when neither an absolute
// data folder nor an absolute home folder is known (never a folder relative to the working one).
fs::path homeTrash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data && fs::path(data).is_absolute())
        return fs::path(data) / "Trash";
    const char* home = std::getenv("HOME");
    if (home && *home && fs::path(home).is_absolute())
        return fs::path(home) / ".local" / "share" / "Trash";
    return {};
}

// The top folder of the mount that holds `path`: the highest parent on the same device.
fs::path topFolder(const fs::path& path, dev_t device) {
    fs::path top = path.parent_path();
    for (fs::path up = top.parent_path(); !up.empty(); up = up.parent_path()) {
        struct stat st {};
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = up;
        if (up == up.root_path())
            break;
    }
    return top;
}

bool isOwnFolder(const fs::path& folder) {
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// Makes `folder` and its "files" and "info" folders (mode 0700), refusing links and other owners.
bool makeTrashFolders(const fs::path& folder, bool withParents, std::string& error) {
    std::error_code ec;
    if (withParents)
        fs::create_directories(folder.parent_path(), ec);
    for (const fs::path& f : {folder, folder / "files", folder / "info"}) {
        if (::mkdir(f.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "the trash folder " + f.string() + " cannot be made: " + std::strerror(errno);
            return false;
        }
        if (!isOwnFolder(f)) {
            error = "the trash folder " + f.string() + " is not a folder of this user";
            return false;
        }
    }
    return true;
}

// The trash for a file on device `device`: the home trash when it lies on the same device, else
// the mount's ".Trash/<uid>" (a sticky shared folder) or ".Trash-<uid>". `topRelative`: whether
// the recorded path is relative to the mount's top folder.
fs::path trashFor(const fs::path& file, dev_t device, bool& topRelative, fs::path& top, std::string& error) {
    const fs::path home = homeTrash();
    if (home.empty()) {
        error = "no home folder is known, so there is no trash to put the file in";
        return {};
    }
    struct stat homeSt {};
    const fs::path homeProbe = fs::exists(home) ? home : home.parent_path();
    std::error_code ec;
    fs::path probe = homeProbe;
    while (!probe.empty() && !fs::exists(probe, ec) && probe != probe.parent_path())
        probe = probe.parent_path();
    if (::stat(probe.c_str(), &homeSt) == 0 && homeSt.st_dev == device) {
        topRelative = false;
        return makeTrashFolders(home, true, error) ? home : fs::path();
    }
    top = topFolder(file, device);
    topRelative = true;
    const std::string uid = std::to_string(::getuid());
    struct stat shared {};
    const fs::path sharedTrash = top / ".Trash";
    if (::lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX)) {
        std::string ignored;
        if (makeTrashFolders(sharedTrash / uid, false, ignored))
            return sharedTrash / uid;
    }
    const fs::path own = top / (".Trash-" + uid);
    return makeTrashFolders(own, false, error) ? own : fs::path();
}

std::string deletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

} // namespace

bool MoveFileToTrash(const std::string& path, std::string& error) {
    std::error_code ec;
    const fs::path file = fs::absolute(fs::path(path), ec).lexically_normal();
    struct stat st {};
    if (ec || ::lstat(file.c_str(), &st) != 0) {
        error = "the file no longer exists";
        return false;
    }
    bool topRelative = false;
    fs::path top;
    const fs::path trash = trashFor(file, st.st_dev, topRelative, top, error);
    if (trash.empty())
        return false;
    const std::string recorded = topRelative ? file.lexically_relative(top).string() : file.string();
    const QByteArray encoded = QUrl::toPercentEncoding(QString::fromStdString(recorded), "/");
    const std::string info = "[Trash Info]\nPath=" + encoded.toStdString() + "\nDeletionDate=" + deletionDate() + "\n";
    // The info file is made first and never replaces one: its name reserves the name in "files".
    const std::string stem = file.stem().string(), extension = file.extension().string();
    for (int n = 1; n < 1000; ++n) {
        const std::string name = n == 1 ? file.filename().string() : stem + "." + std::to_string(n) + extension;
        const fs::path infoPath = trash / "info" / (name + ".trashinfo");
        const fs::path target = trash / "files" / name;
        if (fs::exists(fs::symlink_status(target, ec)))
            continue;
        ReplacingWriter writer(infoPath, ReplacingWriter::Sync::Always, ReplacingWriter::Mode::NewFile);
        if (writer.targetTaken())
            continue;
        if (!writer.isOpen() || !writer.write(info) || !writer.commit()) {
            if (writer.targetTaken())
                continue;
            error = writer.error();
            return false;
        }
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
            const int why = errno;
            ::unlink(infoPath.c_str());
            if (why == EEXIST)
                continue;
            error = "the file cannot be moved to the trash " + trash.string() + ": " + std::strerror(why);
            return false;
        }
        return true;
    }
    error = "the trash holds too many files of this name";
    return false;
}

TrashResult MoveChosenToTrash(RecordingScanner& scanner, const TrashMover& mover) {
    TrashResult result;
    for (int i = 0; i < scanner.EntryCount();) {
        const RecordingEntry& e = *scanner.GetEntry(i);
        if (e.chosen != 1) {
            ++i;
            continue;
        }
        std::string error;
        if (mover(e.path, error)) {
            result.moved.push_back(e.name);
            scanner.RemoveEntry(i);
        } else {
            // The file is still on the card: it stays listed (and chosen) so list and card agree.
            result.failed.push_back({e.name, error});
            ++i;
        }
    }
    return result;
}
