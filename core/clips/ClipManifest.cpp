#include "core/clips/ClipManifest.h"

#include "core/camera/SetupRecord.h"
#include "core/common/RegularFile.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#ifndef QUILLENT_VERSION
#define QUILLENT_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QJsonObject cameraSettings(const ClipTrack& track) {
    QJsonObject camera;
    const RecordingData* data = track.firstSetupData();
    const int tz = track.timezoneMinutes();
    camera["timezoneMinutes"] = tz;
    if (!data)
        return camera;
    if (data->hasSetupRecord) {
        SetupRecord setup = DefaultSetupRecord();
        OverlaySetupBytes(setup, data->setupRecord);
        camera["model"] = text(GetSetupText(setup.model));
        camera["firmware"] = text(GetSetupText(setup.version));
        // Setting values as the camera stores them (codes, not units).
        QJsonObject settings;
        settings["timezoneHour"] = setup.timezoneHour;
        settings["timezoneMinute"] = setup.timezoneMinute;
        settings["summertime"] = setup.summertime;
        settings["fps"] = setup.fps;
        settings["quality"] = setup.quality;
        settings["speedType"] = setup.speedType;
        settings["overspeed"] = setup.overspeed;
        settings["gSensor"] = setup.gSensor;
        settings["overlayTime"] = setup.overlayTime;
        camera["setup"] = settings;
    }
    const RecordingInfoTexts& info = data->info;
    if (!info.company.empty())
        camera["company"] = text(info.company);
    if (!info.vehicle.empty())
        camera["vehicle"] = text(info.vehicle);
    if (!info.driver.empty())
        camera["driver"] = text(info.driver);
    if (!info.version.empty())
        camera["version"] = text(info.version);
    if (!info.serialNumber.empty())
        camera["serialNumber"] = text(info.serialNumber);
    camera["gps"] = track.hasGps();
    return camera;
}

} // namespace

std::optional<std::string> FileSha256(const fs::path& path, std::string* error) {
    RegularFile file = OpenRegularFile(path);
    if (file.fd < 0) {
        if (error)
            *error = file.error;
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = "cannot read " + path.string();
            ::close(file.fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        hash.addData(QByteArrayView(buffer.data(), n));
    }
    ::close(file.fd);
    return hash.result().toHex().toStdString();
}

fs::path ClipManifestPath(const fs::path& clip) {
    return fs::path(clip).replace_extension(".json");
}

std::string MakeClipManifest(const ClipManifestInput& in, std::string* error) {
    QJsonObject root;
    root["program"] = "Quillent";
    root["version"] = QUILLENT_VERSION;
    root["created"] = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);

    QJsonArray sources;
    for (const ClipPiece& piece : in.plan.pieces) {
        std::string why;
        auto sha = FileSha256(piece.path, &why);
        if (!sha) {
            if (error)
                *error = why;
            return {};
        }
        std::error_code ec;
        QJsonObject s;
        s["file"] = text(piece.path.filename().string());
        s["sha256"] = text(*sha);
        s["bytes"] = qint64(fs::file_size(piece.path, ec));
        s["fromMs"] = qint64(piece.fromMs);
        s["toMs"] = qint64(piece.toMs);
        s["clipOffsetMs"] = qint64(piece.clipOffsetMs);
        if (piece.source < in.sources.size())
            s["durationMs"] = qint64(in.sources[piece.source].durationMs);
        sources.append(s);
    }
    root["sources"] = sources;

    QJsonObject range;
    range["fromMs"] = qint64(in.plan.range.fromMs);
    range["toMs"] = qint64(in.plan.range.toMs);
    range["from"] = text(FormatClipTime(in.plan.range.fromMs));
    range["to"] = text(FormatClipTime(in.plan.range.toMs));
    if (in.track) {
        const ClipMoment first = in.track->momentAt(0);
        const ClipMoment last = in.track->momentAt(in.clipDurationMs);
        range["startTime"] = text(first.dateTime + (first.zone.empty() ? "" : " " + first.zone));
        range["endTime"] = text(last.dateTime + (last.zone.empty() ? "" : " " + last.zone));
    }
    root["range"] = range;

    if (in.track)
        root["camera"] = cameraSettings(*in.track);

    std::string why;
    auto clipSha = FileSha256(in.clip, &why);
    if (!clipSha) {
        if (error)
            *error = why;
        return {};
    }
    std::error_code ec;
    QJsonObject clip;
    clip["file"] = text(in.clip.filename().string());
    clip["sha256"] = text(*clipSha);
    clip["bytes"] = qint64(fs::file_size(in.clip, ec));
    clip["durationMs"] = qint64(in.clipDurationMs);
    clip["width"] = in.width;
    clip["height"] = in.height;
    clip["framesPerSecond"] = in.framesPerSecond;
    clip["layout"] = text(in.layout);
    QJsonArray channels;
    for (int c : in.channels)
        channels.append(c);
    clip["channels"] = channels;
    clip["overlay"] = text(in.overlay);
    clip["speedUnit"] = text(in.speedUnit);
    if (!in.stoppedAtDamage.empty())
        clip["stoppedAtDamage"] = text(in.stoppedAtDamage);
    root["clip"] = clip;
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}
