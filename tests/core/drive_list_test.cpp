// The drive list over fake mount tables, and the mount watch that notices a pulled card.
#include "core/tools/DriveList.h"
#include "core/tools/MountWatcher.h"

#include <gtest/gtest.h>

namespace {
class FakeVolumes : public VolumeSource {
public:
    std::vector<MountedVolume> volumes;
    std::vector<MountedVolume> Volumes() const override { return volumes; }
};

MountedVolume vol(std::string root, std::string device, std::string fs, int removable,
                  int64_t bytes = 1 << 30) {
    MountedVolume v;
    v.rootPath = std::move(root);
    v.device = std::move(device);
    v.fsType = std::move(fs);
    v.removable = removable;
    v.bytesTotal = bytes;
    v.ready = bytes > 0;
    return v;
}

std::vector<std::string> names(const RecordingScanner& s) {
    std::vector<std::string> out;
    for (const auto& d : s.Drives())
        out.push_back(d.name);
    return out;
}
} // namespace

TEST(DriveList, OffersDataVolumesWithAMediumThenTheFolderEntry) {
    FakeVolumes fake;
    fake.volumes = {
        vol("/", "/dev/vda1", "ext4", 0),
        vol("/boot/efi", "/dev/vda15", "vfat", 0),
        vol("/home", "/dev/vda2", "ext4", 0),
        vol("/proc", "proc", "proc", -1),
        vol("/run/user/1000", "tmpfs", "tmpfs", -1),
        vol("/snap/core/1", "/dev/loop3", "squashfs", 0),
        vol("/var/lib/docker", "overlay", "overlay", -1),
        vol("/media/u/DVD", "/dev/sr0", "iso9660", 1),
        vol("/mnt/share", "//server/share", "cifs", -1),
        vol("/media/u/EMPTY", "/dev/sdc1", "vfat", 1, 0), // reader without a card
        vol("/mnt/data", "/dev/sdb1", "ext4", 0),
        vol("/home/u/archive", "/dev/sdd1", "ext4", 0),
        vol("/run/media/u/SDCARD", "/dev/mmcblk0p1", "exfat", 1),
        vol("/media/u/SDCARD-again", "/dev/mmcblk0p1", "exfat", 1), // same card, second mount
    };
    fake.volumes[12].label = "SDCARD";
    RecordingScanner s;
    EXPECT_EQ(BuildDriveList(s, fake), 4);
    // The removable card first, then fixed data volumes; the folder entry last.
    EXPECT_EQ(names(s), (std::vector<std::string>{"/run/media/u/SDCARD/", "/home/u/archive/", "/mnt/data/",
                                                  "Find in My Computer"}));
    EXPECT_EQ(s.Drives()[0].label, "SDCARD");
    EXPECT_EQ(s.Drives()[0].kind, kDriveSource);
    EXPECT_EQ(s.Drives()[3].kind, kFolderSource);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s.Drives()[i].index, i);
}

TEST(DriveList, WithNothingUsableOnlyTheFolderEntryWithItsLabel) {
    FakeVolumes fake;
    fake.volumes = {vol("/", "overlay", "overlay", -1), vol("/etc/hosts", "/dev/vda1", "ext4", 0)};
    RecordingScanner s;
    s.SetFolderEntryLabel("내 컴퓨터에서 찾기");
    s.SetFolderEntryLabel(""); // an empty language text keeps the label
    ASSERT_EQ(BuildDriveList(s, fake), 1);
    EXPECT_EQ(s.Drives()[0].name, "내 컴퓨터에서 찾기");
    // Rebuilding replaces the list.
    ASSERT_EQ(BuildDriveList(s, fake), 1);
}

TEST(MountWatch, ReportsRemovedAndAddedMountPoints) {
    QSet<QString> table{"/", "/media/u/CARD", "/mnt/data"};
    MountWatcher w([&] { return table; });
    QStringList removed, added;
    w.OnRemoved([&](const QString& m) { removed << m; });
    w.OnAdded([&](const QString& m) { added << m; });
    w.Check();
    EXPECT_TRUE(removed.isEmpty());
    table.remove("/media/u/CARD");
    table.insert("/media/u/OTHER");
    w.Check();
    w.Check();
    EXPECT_EQ(removed, QStringList{"/media/u/CARD"});
    EXPECT_EQ(added, QStringList{"/media/u/OTHER"});
}

TEST(MountWatch, ParsesMountInfoAndMatchesSourcesOnAVolume) {
    const QByteArray info = "22 1 8:1 / / rw - ext4 /dev/vda1 rw\n"
                            "40 22 179:1 / /media/u/MY\\040CARD rw,nosuid - exfat /dev/mmcblk0p1 rw\n"
                            "bad line\n";
    const QSet<QString> points = MountWatcher::ParseMountInfo(info);
    EXPECT_EQ(points, (QSet<QString>{"/", "/media/u/MY CARD"}));
    EXPECT_FALSE(MountWatcher::SystemMountPoints().isEmpty());

    EXPECT_TRUE(SourceIsOnVolume("/media/u/CARD/", "/media/u/CARD"));
    EXPECT_TRUE(SourceIsOnVolume("/media/u/CARD/NORMAL", "/media/u/CARD"));
    EXPECT_FALSE(SourceIsOnVolume("/media/u/CARD2/", "/media/u/CARD"));
    EXPECT_FALSE(SourceIsOnVolume("/home/u/videos", "/"));
    EXPECT_FALSE(SourceIsOnVolume("", "/media/u/CARD"));
}
