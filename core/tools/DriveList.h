// The drive list of the drive dialog: the mounted removable and fixed data volumes that hold a
// medium, then the folder entry. The volume source is injectable so tests give a fake mount table.
#pragma once

#include "core/recordings/RecordingScanner.h"

#include <memory>
#include <string>
#include <vector>

// One mounted file system as the system reports it.
struct MountedVolume {
    std::string rootPath;   // mount point
    std::string device;     // "/dev/sdb1", "tmpfs", "overlay", ...
    std::string fsType;     // "vfat", "exfat", "ext4", "tmpfs", ...
    std::string label;      // volume label, may be empty
    bool ready = true;      // a medium is present and readable
    int64_t bytesTotal = 0; // 0 for an empty reader
    // Removable flag of the block device: 1 removable, 0 fixed, -1 unknown (not a block device).
    int removable = -1;
};

class VolumeSource {
public:
    virtual ~VolumeSource() = default;
    virtual std::vector<MountedVolume> Volumes() const = 0;
};

// The running system: QStorageInfo::mountedVolumes() and /sys/block/*/removable.
class SystemVolumeSource : public VolumeSource {
public:
    std::vector<MountedVolume> Volumes() const override;
    // "/dev/sdb1" -> 1 when the disk holding it is removable, 0 fixed, -1 unknown.
    static int RemovableFlag(const std::string& device);
};

// True when the volume may hold recordings: a data volume on a block device with a medium; system
// mounts, pseudo file systems, optical drives and network shares are never offered.
bool IsOfferedVolume(const MountedVolume& volume);

// Rebuilds the scanner's drive list (removable volumes first, then fixed, each by mount point; the
// folder entry last) and returns the number of entries.
int BuildDriveList(RecordingScanner& scanner, const VolumeSource& source);
int BuildDriveList(RecordingScanner& scanner); // with the system's volumes
