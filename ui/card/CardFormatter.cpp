#include "ui/card/CardFormatter.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QMap>
#include <QVariantMap>

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;
Q_DECLARE_METATYPE(InterfaceMap)
Q_DECLARE_METATYPE(ManagedObjects)

namespace {
constexpr const char* kRoot = "/org/freedesktop/UDisks2";
constexpr const char* kBlock = "org.freedesktop.UDisks2.Block";
constexpr const char* kFilesystem = "org.freedesktop.UDisks2.Filesystem";
constexpr const char* kDrive = "org.freedesktop.UDisks2.Drive";

void registerTypes() {
    static const bool done = [] {
        qDBusRegisterMetaType<InterfaceMap>();
        qDBusRegisterMetaType<ManagedObjects>();
        qDBusRegisterMetaType<QList<QByteArray>>();
        return true;
    }();
    Q_UNUSED(done);
}

// "ay" values end in a NUL byte.
QString bytesText(const QVariant& v) {
    QByteArray b = v.toByteArray();
    if (b.endsWith('\0'))
        b.chop(1);
    return QString::fromLocal8Bit(b);
}

QStringList mountPoints(const QVariantMap& filesystem) {
    const QVariant v = filesystem.value(QStringLiteral("MountPoints"));
    QList<QByteArray> list;
    if (v.canConvert<QDBusArgument>())
        list = qdbus_cast<QList<QByteArray>>(v.value<QDBusArgument>());
    else
        list = v.value<QList<QByteArray>>();
    QStringList out;
    for (const QByteArray& b : list)
        out << bytesText(b);
    return out;
}

QString clean(const QString& path) {
    return QDir::cleanPath(path);
}

QDBusMessage call(const QDBusConnection& bus, const QString& path, const char* interface, const char* method,
                  const QVariantList& args, int timeoutMs = -1) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(QString::fromLatin1(CardFormatter::kService), path,
                                       QString::fromLatin1(interface), QString::fromLatin1(method));
    m.setArguments(args);
    m.setInteractiveAuthorizationAllowed(true); // polkit may ask for the password
    return bus.call(m, QDBus::BlockWithGui, timeoutMs);
}
} // namespace

CardFormatter::CardFormatter(QDBusConnection bus) : m_bus(std::move(bus)) {
    registerTypes();
}

bool CardFormatter::isSystemPath(const QString& mountPoint) {
    static const QStringList kSystem = {"/",    "/boot", "/boot/efi", "/efi", "/usr",  "/var",  "/home",
                                        "/etc", "/opt",  "/srv",      "/tmp", "/root", "[SWAP]"};
    return kSystem.contains(clean(mountPoint)) || mountPoint == QLatin1String("[SWAP]");
}

CardFormatter::Found CardFormatter::findCard(const QString& mountPoint) const {
    Found found;
    if (!m_bus.isConnected()) {
        found.detail = QStringLiteral("no system bus");
        return found;
    }
    const QDBusMessage reply = call(m_bus, QString::fromLatin1(kRoot), "org.freedesktop.DBus.ObjectManager",
                                    "GetManagedObjects", {}, 20000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        found.detail = reply.errorMessage();
        return found;
    }
    const ManagedObjects objects =
        qdbus_cast<ManagedObjects>(reply.arguments().constFirst().value<QDBusArgument>());

    const QString wanted = clean(mountPoint);
    QString blockPath;
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const auto fs = it.value().constFind(QString::fromLatin1(kFilesystem));
        if (fs == it.value().cend() || !it.value().contains(QString::fromLatin1(kBlock)))
            continue;
        for (const QString& mp : mountPoints(fs.value()))
            if (clean(mp) == wanted)
                blockPath = it.key().path();
    }
    found.refusal = Refusal::NotFound;
    if (blockPath.isEmpty())
        return found;

    const InterfaceMap& blockObject = objects.value(QDBusObjectPath(blockPath));
    const QVariantMap block = blockObject.value(QString::fromLatin1(kBlock));
    CardDevice& d = found.device;
    d.blockPath = blockPath;
    d.device = bytesText(block.value(QStringLiteral("Device")));
    d.label = block.value(QStringLiteral("IdLabel")).toString();
    d.fsType = block.value(QStringLiteral("IdType")).toString();
    d.sizeBytes = block.value(QStringLiteral("Size")).toULongLong();
    d.drivePath = block.value(QStringLiteral("Drive")).value<QDBusObjectPath>().path();
    d.mountPoint = wanted;
    const QVariantMap drive = objects.value(QDBusObjectPath(d.drivePath)).value(QString::fromLatin1(kDrive));
    d.model = (drive.value(QStringLiteral("Vendor")).toString() + QLatin1Char(' ') +
               drive.value(QStringLiteral("Model")).toString())
                  .trimmed();

    if (block.value(QStringLiteral("HintSystem")).toBool()) {
        found.refusal = Refusal::SystemDisk;
        return found;
    }
    if (drive.isEmpty() || !(drive.value(QStringLiteral("Removable")).toBool() ||
                             drive.value(QStringLiteral("MediaRemovable")).toBool())) {
        found.refusal = Refusal::FixedDisk;
        return found;
    }
    // Any file system of the same drive mounted at a system path makes it the system's drive.
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const QVariantMap other = it.value().value(QString::fromLatin1(kBlock));
        if (other.value(QStringLiteral("Drive")).value<QDBusObjectPath>().path() != d.drivePath)
            continue;
        for (const QString& mp : mountPoints(it.value().value(QString::fromLatin1(kFilesystem))))
            if (isSystemPath(mp)) {
                found.refusal = Refusal::SystemMounted;
                found.detail = mp;
                return found;
            }
    }
    found.refusal = Refusal::None;
    return found;
}

CardFormatter::Result CardFormatter::format(const CardDevice& device, const QString& fsType,
                                            const QString& label) const {
    Result result;
    QDBusMessage r = call(m_bus, device.blockPath, kFilesystem, "Unmount", {QVariantMap{}}, 120000);
    if (r.type() != QDBusMessage::ReplyMessage) {
        result.error = r.errorMessage();
        return result;
    }
    QVariantMap options;
    options.insert(QStringLiteral("label"), label);
    options.insert(QStringLiteral("update-partition-type"), true);
    r = call(m_bus, device.blockPath, kBlock, "Format", {fsType, options}, kFormatTimeoutMs);
    if (r.type() != QDBusMessage::ReplyMessage) {
        result.error = r.errorMessage();
        // Give the card back to the user as it was, if it still has its file system.
        call(m_bus, device.blockPath, kFilesystem, "Mount", {QVariantMap{}}, 120000);
        return result;
    }
    r = call(m_bus, device.blockPath, kFilesystem, "Mount", {QVariantMap{}}, 120000);
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) {
        result.error = r.errorMessage();
        return result;
    }
    result.ok = true;
    result.mountPoint = r.arguments().constFirst().toString();
    return result;
}
