// The format command against a stand-in UDisks2 service on a private D-Bus bus that the test starts
// (the calls the program makes: GetManagedObjects, Filesystem.Unmount and Mount, Block.Format), with
// a real mkfs.vfat on an image file: the refusals (fixed disk, system disk, a drive holding "/"), the
// confirmation naming the device, the quick settings kept with their values, the rescan; a failed
// format leaves the settings file as it was.
#include "WindowTestApp.h"
#include "ui/app/MainWindow.h"
#include "ui/page/BrowserHost.h"
#include "ui/card/FormatDialog.h"
#include "ui/card/CardCommands.h"
#include "ui/recordings/ListController.h"
#include "ui/playback/PlaybackSession.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDir>
#include <QMutex>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;
Q_DECLARE_METATYPE(InterfaceMap)
Q_DECLARE_METATYPE(ManagedObjects)

namespace {
QApplication& app() {
    static QApplication& instance = []() -> QApplication& {
        QApplication& a = windowTestApp(QUILLENT_SOURCE_SKIN, QUILLENT_SOURCE_CONFIG);
        qDBusRegisterMetaType<InterfaceMap>();
        qDBusRegisterMetaType<ManagedObjects>();
        qDBusRegisterMetaType<QList<QByteArray>>();
        return a;
    }();
    return instance;
}

constexpr const char* kRoot = "/org/freedesktop/UDisks2";

// The part of UDisks2 the program uses. Devices are block objects with a file system; formatting the
// card runs mkfs.vfat on an image file, and the fresh file system is mounted at a new, empty folder.
class StandInUdisks : public QDBusVirtualObject {
public:
    struct Device {
        QString name; // object name under block_devices/
        QString device, label, fsType, drive;
        quint64 size = 0;
        bool hintSystem = false;
        QStringList mounts;
    };
    struct Drive {
        QString name, vendor, model;
        bool removable = false;
    };

    QMutex lock;
    std::vector<Device> devices;
    std::vector<Drive> drives;
    QString image;     // the card's medium
    QString remountAt; // where the fresh file system is mounted
    bool failFormat = false;
    QStringList calls; // "Member path-name args"

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        QMutexLocker locked(&lock);
        const QString member = m.member();
        const QString name = m.path().section(QLatin1Char('/'), -1);
        calls << member + QLatin1Char(' ') + name;
        if (member == QLatin1String("GetManagedObjects")) {
            bus.send(m.createReply(QVariant::fromValue(objects())));
            return true;
        }
        Device* d = nullptr;
        for (Device& x : devices)
            if (x.name == name)
                d = &x;
        if (!d) {
            bus.send(m.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"), name));
            return true;
        }
        if (member == QLatin1String("Unmount")) {
            d->mounts.clear();
            bus.send(m.createReply());
        } else if (member == QLatin1String("Mount")) {
            const QString at = remountAt.isEmpty() ? QStringLiteral("/media/stand-in") : remountAt;
            QDir().mkpath(at);
            d->mounts = {at};
            bus.send(m.createReply(at));
        } else if (member == QLatin1String("Format")) {
            const QString type = m.arguments().value(0).toString();
            const QVariantMap options = qdbus_cast<QVariantMap>(m.arguments().value(1));
            const QString label = options.value(QStringLiteral("label")).toString();
            calls.last() += QLatin1Char(' ') + type + QLatin1Char(' ') + label;
            if (!d->mounts.isEmpty())
                return reply(bus, m, QStringLiteral("Error formatting: the device is mounted"));
            if (failFormat)
                return reply(bus, m, QStringLiteral("Error formatting: the medium was removed"));
            QProcess mkfs;
            mkfs.start(QStandardPaths::findExecutable(QStringLiteral("mkfs.vfat"), {"/usr/sbin", "/sbin"}),
                       {QStringLiteral("-F"), QStringLiteral("32"), QStringLiteral("-n"), label, image});
            if (!mkfs.waitForFinished(60000) || mkfs.exitCode() != 0)
                return reply(bus, m,
                             QStringLiteral("mkfs.vfat failed: ") + mkfs.errorString() +
                                 QString::fromLocal8Bit(mkfs.readAllStandardError()));
            d->fsType = type;
            d->label = label;
            bus.send(m.createReply());
        } else {
            bus.send(m.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), member));
        }
        return true;
    }

private:
    static bool reply(const QDBusConnection& bus, const QDBusMessage& m, const QString& error) {
        bus.send(m.createErrorReply(QStringLiteral("org.freedesktop.UDisks2.Error.Failed"), error));
        return true;
    }

    ManagedObjects objects() const {
        ManagedObjects out;
        for (const Device& d : devices) {
            QList<QByteArray> mounts;
            for (const QString& mp : d.mounts)
                mounts << mp.toLocal8Bit() + '\0';
            InterfaceMap o;
            o[QStringLiteral("org.freedesktop.UDisks2.Block")] = {
                {QStringLiteral("Device"), QByteArray(d.device.toLatin1() + '\0')},
                {QStringLiteral("Size"), QVariant::fromValue<quint64>(d.size)},
                {QStringLiteral("IdLabel"), d.label},
                {QStringLiteral("IdType"), d.fsType},
                {QStringLiteral("HintSystem"), d.hintSystem},
                {QStringLiteral("Drive"),
                 QVariant::fromValue(QDBusObjectPath(QString(kRoot) + "/drives/" + d.drive))}};
            o[QStringLiteral("org.freedesktop.UDisks2.Filesystem")] = {
                {QStringLiteral("MountPoints"), QVariant::fromValue(mounts)}};
            out[QDBusObjectPath(QString(kRoot) + "/block_devices/" + d.name)] = o;
        }
        for (const Drive& d : drives) {
            InterfaceMap o;
            o[QStringLiteral("org.freedesktop.UDisks2.Drive")] = {
                {QStringLiteral("Removable"), d.removable},
                {QStringLiteral("MediaRemovable"), d.removable},
                {QStringLiteral("Vendor"), d.vendor},
                {QStringLiteral("Model"), d.model}};
            out[QDBusObjectPath(QString(kRoot) + "/drives/" + d.name)] = o;
        }
        return out;
    }
};

// A private bus with the stand-in serving on it from its own thread.
struct PrivateBus {
    QProcess daemon;
    QString address;
    QThread thread;
    StandInUdisks service;
    std::unique_ptr<QDBusConnection> serviceBus;

    PrivateBus() {
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (!daemon.waitForStarted(10000))
            return;
        while (address.isEmpty() && daemon.waitForReadyRead(10000))
            address = QString::fromLatin1(daemon.readLine()).trimmed();
        thread.start();
        service.moveToThread(&thread);
        serviceBus = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("quillent-stand-in-udisks")));
        serviceBus->registerService(QStringLiteral("org.freedesktop.UDisks2"));
        serviceBus->registerVirtualObject(QString::fromLatin1(kRoot), &service, QDBusConnection::SubPath);
    }
    ~PrivateBus() {
        if (serviceBus)
            serviceBus->unregisterObject(QString::fromLatin1(kRoot), QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("quillent-stand-in-udisks"));
        QDBusConnection::disconnectFromBus(QStringLiteral("quillent-program"));
        thread.quit();
        thread.wait();
        service.moveToThread(QThread::currentThread());
        daemon.kill();
        daemon.waitForFinished(5000);
    }
    QDBusConnection programBus() const {
        return QDBusConnection::connectToBus(address, QStringLiteral("quillent-program"));
    }
};

// A listed card with its setup.ini, in a main window whose card commands use the private bus.
struct FormatFixture {
    QTemporaryDir dir;
    fs::path root, image, remount;
    PrivateBus bus;
    PlaybackSession session;
    MainWindow window{session};
    CardCommands* commands = nullptr;
    std::vector<std::pair<QString, QMessageBox::Icon>> messages;
    std::vector<QString> shownDevices;
    bool confirm = true;

    FormatFixture() {
        root = dir.path().toStdString() + "/card";
        image = dir.path().toStdString() + "/card.img";
        remount = dir.path().toStdString() + "/card-formatted";
        writeStandInFiles(root, {"NORMAL/RTC20140512_100000.qmv", "EVENT/EVENT_RTC20140512_100030.qmv"});
        std::ofstream(root / "setup.ini")
            << "SENSOR_GY_STV=0\r\nLCD_BRIGHT_LV=1\r\nVOICE_GUIDE_ON=0\r\nVOICE_REC_ON=1\r\n"
               "LED_PARKING_ON=0\r\nLCD_OFF_TIME=3\r\nVOLTAGE_CUTOFF_LV=4\r\n"
               "TIME_EXP_GMT=5\r\nOLD_KEY=1\r\n";
        {
            std::ofstream img(image, std::ios::binary);
            img.seekp(40 * 1024 * 1024 - 1);
            img.put('\0');
        }
        StandInUdisks& s = bus.service;
        s.image = QString::fromStdString(image.string());
        s.remountAt = QString::fromStdString(remount.string());
        s.drives = {{"SD_Reader", "Generic", "SD Card Reader", true},
                    {"Fixed_Disk", "ACME", "SSD 512", false},
                    {"System_Stick", "Kingston", "DataTraveler", true}};
        s.devices = {
            {"sdb1",
             "/dev/sdb1",
             "CAMCARD",
             "vfat",
             "SD_Reader",
             15'931'539'456ULL,
             false,
             {s.image.section('/', 0, -2) + "/card"}},
            {"sda1",
             "/dev/sda1",
             "DATA",
             "ext4",
             "Fixed_Disk",
             512'000'000'000ULL,
             false,
             {dir.path() + "/fixed"}},
            {"sdc1",
             "/dev/sdc1",
             "LIVE",
             "vfat",
             "System_Stick",
             8'000'000'000ULL,
             false,
             {dir.path() + "/stick"}},
            {"sdc2", "/dev/sdc2", "", "ext4", "System_Stick", 7'000'000'000ULL, false, {"/"}},
            {"sdd1", "/dev/sdd1", "EFI", "vfat", "SD_Reader", 500'000'000ULL, true, {dir.path() + "/efi"}},
        };

        ListController* lists = window.lists();
        lists->scanner().SetFolders({{"NORMAL"}, {"EVENT"}});
        lists->scanner().SetExtensions({"qmv"});
        lists->setErrorReporter([](const QString&) {});
        commands = window.findChild<CardCommands*>();
        commands->setFormatBus(bus.programBus());
        commands->setPrompts(
            {[](const QString&) { return true; },
             [this](const QString& t, QMessageBox::Icon i) { messages.emplace_back(t, i); }});
        commands->setWindowWatcher([this](QDialog& w) {
            auto* dlg = qobject_cast<FormatDialog*>(&w);
            ASSERT_NE(dlg, nullptr);
            shownDevices.push_back(dlg->deviceText());
            EXPECT_TRUE(dlg->fat32Button()->isChecked());
            EXPECT_FALSE(dlg->exfatButton()->isEnabled()); // 16 GB: FAT32 only
            if (confirm)
                dlg->formatButton()->click();
            else
                dlg->reject();
        });
    }

    // Lists `folder` as the chosen card drive.
    void list(const fs::path& folder) {
        fs::create_directories(folder);
        window.lists()->setDriveChooser([folder](RecordingScanner& s) {
            s.Drives() = {{0, folder.string() + "/", kDriveSource, "CARD", true},
                          {1, "Find in My Computer", kFolderSource, "", false}};
            return 0;
        });
        window.runPageCommand("btnOpen", 0);
    }

    bool format() {
        QSignalSpy done(commands, &CardCommands::formatFinished);
        window.runPageCommand("btnFormat", 0);
        EXPECT_TRUE(done.wait(60000));
        return !done.isEmpty() && done.last().at(0).toBool();
    }
    QString lastMessage(const char* id) const { return QString::fromStdString(LString(id)); }
};
} // namespace

TEST(CardFormat, FormatsTheCardAndKeepsItsQuickSettings) {
    app();
    ASSERT_FALSE(QStandardPaths::findExecutable("dbus-daemon").isEmpty()) << "dbus-daemon is needed";
    ASSERT_FALSE(QStandardPaths::findExecutable("mkfs.vfat", {"/usr/sbin", "/sbin"}).isEmpty())
        << "mkfs.vfat (dosfstools) is needed";
    FormatFixture f;
    ASSERT_FALSE(f.bus.address.isEmpty()) << "the private bus did not start";
    f.list(f.root);
    ASSERT_EQ(f.window.lists()->scanner().EntryCount(), 2);

    ASSERT_TRUE(f.format());
    ASSERT_EQ(f.shownDevices.size(), 1u);
    EXPECT_EQ(f.shownDevices[0], "CAMCARD\nGeneric SD Card Reader · 15.9 GB · /dev/sdb1");
    EXPECT_EQ(f.bus.service.calls, (QStringList{"GetManagedObjects UDisks2", "Unmount sdb1",
                                                "Format sdb1 vfat CAMCARD", "Mount sdb1"}));

    // A real FAT32 file system with the card's label on the medium.
    const std::string boot = readFile(f.image).substr(0, 512);
    EXPECT_EQ(boot.substr(82, 8), "FAT32   ");
    EXPECT_EQ(boot.substr(71, 11), "CAMCARD    ");
    // The quick settings are back on the fresh card, with their values; unknown keys are gone.
    EXPECT_EQ(readFile(f.remount / "setup.ini"),
              "SENSOR_GY_STV=0\r\nLCD_BRIGHT_LV=1\r\nVOICE_GUIDE_ON=0\r\nVOICE_REC_ON=1\r\n"
              "LED_PARKING_ON=0\r\nLCD_OFF_TIME=3\r\nVOLTAGE_CUTOFF_LV=4\r\nTIME_EXP_GMT=5\r\n");
    // Rescanned where the card is now mounted: nothing to list on a fresh card.
    EXPECT_EQ(f.window.lists()->scanner().SourcePath(), f.remount.string() + "/");
    EXPECT_EQ(f.window.lists()->scanner().EntryCount(), 0);
    EXPECT_EQ(f.messages.back().first, f.lastMessage("FORMAT_MSG_DONE"));
}

TEST(CardFormat, RefusesEverythingButARemovableCardAndAFailureKeepsTheSettings) {
    app();
    FormatFixture f;
    ASSERT_FALSE(f.bus.address.isEmpty()) << "the private bus did not start";
    const std::string settingsBefore = readFile(f.root / "setup.ini");
    struct Case {
        fs::path folder;
        const char* message;
    };
    const fs::path base = f.dir.path().toStdString();
    for (const Case& c :
         {Case{base / "fixed", "FORMAT_MSG_FIXED"}, Case{base / "stick", "FORMAT_MSG_SYSTEM"},
          Case{base / "efi", "FORMAT_MSG_SYSTEM"}, Case{base / "elsewhere", "FORMAT_MSG_NOT_FOUND"}}) {
        f.bus.service.calls.clear();
        f.list(c.folder);
        EXPECT_FALSE(f.format()) << c.folder;
        EXPECT_EQ(f.messages.back().first, f.lastMessage(c.message)) << c.folder;
        EXPECT_EQ(f.messages.back().second, QMessageBox::Critical);
        EXPECT_EQ(f.bus.service.calls, QStringList{"GetManagedObjects UDisks2"}) << c.folder;
    }
    EXPECT_TRUE(f.shownDevices.empty());

    // A folder is listed, not a card.
    f.window.lists()->openFolder(f.root);
    f.window.runPageCommand("btnFormat", 0);
    QTRY_COMPARE_WITH_TIMEOUT(f.messages.back().first, f.lastMessage("SDCARD_NOTSELECT"), 5000);

    // The card itself: cancelled, then failing in UDisks2. The card keeps its files and settings.
    f.list(f.root);
    f.confirm = false;
    f.bus.service.calls.clear();
    EXPECT_FALSE(f.format());
    EXPECT_EQ(f.bus.service.calls, QStringList{"GetManagedObjects UDisks2"});
    f.confirm = true;
    f.bus.service.failFormat = true;
    EXPECT_FALSE(f.format());
    EXPECT_TRUE(f.messages.back().first.startsWith(f.lastMessage("FORMAT_MSG_FAILED")));
    EXPECT_TRUE(f.messages.back().first.contains("the medium was removed"));
    EXPECT_EQ(readFile(f.root / "setup.ini"), settingsBefore);
    EXPECT_FALSE(fs::exists(f.remount / "setup.ini"));
    EXPECT_EQ(f.window.lists()->scanner().EntryCount(), 2);
}

TEST(CardFormat, ExfatIsOfferedForCardsOver32GB) {
    app();
    CardDevice big{"/b",           "/d",    "/dev/sde1",       "my card long name",
                   "Vendor Model", "exfat", 64'000'000'000ULL, "/m"};
    FormatDialog dlg(big);
    EXPECT_TRUE(dlg.exfatButton()->isEnabled());
    EXPECT_EQ(dlg.fileSystem(), "vfat");
    EXPECT_EQ(dlg.label(), "MY CARD LON");
    dlg.exfatButton()->setChecked(true);
    EXPECT_EQ(dlg.fileSystem(), "exfat");
    EXPECT_EQ(dlg.label(), "my card long na");
    EXPECT_EQ(FormatDialog::sizeText(64'000'000'000ULL), "64.0 GB");
}
