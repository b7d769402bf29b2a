#include "core/tools/DriveList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <array>
#include <string_view>

namespace {
bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool underPath(const std::string& path, std::string_view folder) {
    return path == folder || startsWith(path, std::string(folder) + "/");
}

// Mount points that belong to the operating system, never to a card or a data disk.
bool isSystemMountPoint(const std::string& root) {
    if (root.empty() || root == "/")
        return true;
    // Everything below these belongs to the system.
    static constexpr std::array<std::string_view, 10> kSystemTrees = {
        "/boot", "/efi", "/proc", "/sys", "/dev", "/etc", "/snap", "/usr", "/var", "/lib"};
    for (auto s : kSystemTrees)
        if (underPath(root, s))
            return true;
    // These mount points themselves are system volumes; a data disk mounted below one is not.
    static constexpr std::array<std::string_view, 6> kSystemPoints = {"/home", "/opt", "/srv",
                                                                      "/root", "/tmp", "/bin"};
    for (auto s : kSystemPoints)
        if (root == s)
            return true;
    // /run holds runtime state; only its media folder holds user volumes.
    if (underPath(root, "/run") && !underPath(root, "/run/media"))
        return true;
    return false;
}

bool isPseudoFileSystem(const std::string& fs) {
    static constexpr std::array<std::string_view, 24> kPseudo = {
        "tmpfs",    "devtmpfs", "overlay",  "squashfs", "proc",      "sysfs",       "cgroup",     "cgroup2",
        "autofs",   "ramfs",    "nsfs",     "mqueue",   "debugfs",   "tracefs",     "securityfs", "pstore",
        "efivarfs", "bpf",      "configfs", "fusectl",  "hugetlbfs", "binfmt_misc", "iso9660",    "udf"};
    if (std::find(kPseudo.begin(), kPseudo.end(), fs) != kPseudo.end())
        return true;
    // Network shares are not drives of this list.
    return fs == "nfs" || fs == "nfs4" || fs == "cifs" || fs == "smb3" || startsWith(fs, "fuse.sshfs");
}
} // namespace

bool IsOfferedVolume(const MountedVolume& v) {
    if (!v.ready || v.bytesTotal <= 0)
        return false; // a reader without a medium
    if (!startsWith(v.device, "/dev/"))
        return false; // pseudo and network file systems
    if (startsWith(v.device, "/dev/sr") || startsWith(v.device, "/dev/loop") ||
        startsWith(v.device, "/dev/zram"))
        return false; // optical drives, images and snaps, swap
    if (isPseudoFileSystem(v.fsType) || isSystemMountPoint(v.rootPath))
        return false;
    return true;
}

int SystemVolumeSource::RemovableFlag(const std::string& device) {
    if (!startsWith(device, "/dev/"))
        return -1;
    // /sys/class/block/<name> resolves into the disk's folder; a partition sits inside its disk.
    const QString name = QFileInfo(QString::fromStdString(device)).canonicalFilePath().section('/', -1);
    QString sysPath = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (sysPath.isEmpty())
        return -1;
    if (QFile::exists(sysPath + QStringLiteral("/partition")))
        sysPath = QFileInfo(sysPath).path();
    QFile f(sysPath + QStringLiteral("/removable"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return f.readAll().trimmed() == "1" ? 1 : 0;
}

std::vector<MountedVolume> SystemVolumeSource::Volumes() const {
    std::vector<MountedVolume> out;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        MountedVolume v;
        v.rootPath = s.rootPath().toStdString();
        v.device = QString::fromUtf8(s.device()).toStdString();
        v.fsType = QString::fromUtf8(s.fileSystemType()).toStdString();
        v.label = s.name().toStdString();
        v.ready = s.isValid() && s.isReady();
        v.bytesTotal = v.ready ? s.bytesTotal() : 0;
        v.removable = RemovableFlag(v.device);
        // Bind mounts of single files (containers do this for /etc/hosts) are not volumes.
        if (!QFileInfo(s.rootPath()).isDir())
            continue;
        out.push_back(std::move(v));
    }
    return out;
}

int BuildDriveList(RecordingScanner& scanner, const VolumeSource& source) {
    std::vector<MountedVolume> offered;
    for (auto& v : source.Volumes()) {
        // The same device mounted twice is offered once, at its first mount point.
        const bool seen = std::any_of(offered.begin(), offered.end(),
                                      [&](const MountedVolume& o) { return o.device == v.device; });
        if (!seen && IsOfferedVolume(v))
            offered.push_back(std::move(v));
    }
    // The camera card is normally the removable one: it comes first and is selected by default.
    std::stable_sort(offered.begin(), offered.end(), [](const MountedVolume& a, const MountedVolume& b) {
        const bool ra = a.removable == 1, rb = b.removable == 1;
        if (ra != rb)
            return ra;
        return a.rootPath < b.rootPath;
    });
    auto& drives = scanner.Drives();
    drives.clear();
    for (const auto& v : offered) {
        DriveEntry d;
        d.index = static_cast<int>(drives.size());
        d.name = v.rootPath.back() == '/' ? v.rootPath : v.rootPath + "/";
        d.kind = kDriveSource;
        d.label = v.label;
        d.removable = v.removable == 1;
        drives.push_back(std::move(d));
    }
    DriveEntry folder;
    folder.index = static_cast<int>(drives.size());
    folder.name = scanner.FolderEntryLabel();
    folder.kind = kFolderSource;
    drives.push_back(std::move(folder));
    return static_cast<int>(drives.size());
}

int BuildDriveList(RecordingScanner& scanner) {
    return BuildDriveList(scanner, SystemVolumeSource());
}
