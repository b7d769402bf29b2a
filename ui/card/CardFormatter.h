// Formats the camera's card through UDisks2 over D-Bus: finds the block device that holds the mounted
// card (never guessed from a name), refuses anything but a removable device that holds no system
// path, then unmounts, formats and mounts it again. Polkit asks the user for permission as it does
// for the desktop's own disk tools. Used by the format command; tests give it a private bus.
#pragma once

#include <QDBusConnection>
#include <QString>

#include <cstdint>

// The device holding a card, as UDisks2 describes it.
struct CardDevice {
    QString blockPath; // UDisks2 object of the block device (the file system)
    QString drivePath; // UDisks2 object of its drive
    QString device;    // "/dev/sdb1"
    QString label;     // file-system label, may be empty
    QString model;     // vendor and model of the drive
    QString fsType;    // "vfat", "exfat", ...
    uint64_t sizeBytes = 0;
    QString mountPoint; // where the card is mounted now
};

class CardFormatter {
public:
    enum class Refusal {
        None,
        NoService,     // UDisks2 does not answer (not installed, no system bus)
        NotFound,      // no block device is mounted at the card's folder
        FixedDisk,     // the drive is not removable
        SystemDisk,    // UDisks2 marks the device as a system device
        SystemMounted, // the drive holds a mounted system path ("/", "/boot", "/home", ...)
    };
    struct Found {
        Refusal refusal = Refusal::NoService;
        CardDevice device;
        QString detail; // what UDisks2 said, for the diagnostics
    };
    struct Result {
        bool ok = false;
        QString error;      // UDisks2's message when not ok
        QString mountPoint; // where the fresh file system is mounted (ok only)
    };

    // The system bus by default.
    explicit CardFormatter(QDBusConnection bus = QDBusConnection::systemBus());

    // The device whose file system is mounted at `mountPoint`, and whether it may be formatted.
    Found findCard(const QString& mountPoint) const;
    // Unmounts, formats as `fsType` ("vfat" or "exfat") with `label`, mounts again. Blocks until
    // UDisks2 has answered each step (the window keeps painting meanwhile).
    Result format(const CardDevice& device, const QString& fsType, const QString& label) const;

    // Mount points that make a drive a system drive.
    static bool isSystemPath(const QString& mountPoint);

    static constexpr const char* kService = "org.freedesktop.UDisks2";
    static constexpr int kFormatTimeoutMs = 30 * 60 * 1000; // a slow, large card

private:
    QDBusConnection m_bus;
};
