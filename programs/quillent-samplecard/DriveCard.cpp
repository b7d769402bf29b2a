#include "DriveCard.h"

#include "TrackRecords.h"
#include "core/common/FileReplace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace fs = std::filesystem;

namespace {

constexpr double kDegToRad = M_PI / 180.0;
constexpr double kEarthRadius = 6371008.8;
constexpr double kGravity = 9.80665;
constexpr double kCruiseKmh = 50.0;
constexpr double kHardBrakeG = 0.65; // well over the index's 0.45 G; ordinary driving stays under 0.3 G
constexpr double kMinBrakeKmh = 25.0;

using LatLon = std::pair<double, double>;

double metres(LatLon a, LatLon b) {
    const double dLat = (b.first - a.first) * kDegToRad;
    const double dLon = (b.second - a.second) * kDegToRad * std::cos((a.first + b.first) / 2 * kDegToRad);
    return kEarthRadius * std::hypot(dLat, dLon);
}

LatLon pointAlong(const std::vector<LatLon>& route, double along) {
    along = std::max(0.0, along);
    for (size_t i = 1; i < route.size(); ++i) {
        const double leg = metres(route[i - 1], route[i]);
        if (along <= leg && leg > 0) {
            const double f = along / leg;
            return {route[i - 1].first + f * (route[i].first - route[i - 1].first),
                    route[i - 1].second + f * (route[i].second - route[i - 1].second)};
        }
        along -= leg;
    }
    return route.back();
}

double headingAlong(const std::vector<LatLon>& route, double along, double length) {
    const double from = std::clamp(along - 15.0, 0.0, std::max(0.0, length - 30.0));
    const LatLon a = pointAlong(route, from), b = pointAlong(route, from + 30.0);
    const double deg =
        std::atan2((b.second - a.second) * std::cos(a.first * kDegToRad), b.first - a.first) / kDegToRad;
    return deg < 0 ? deg + 360.0 : deg;
}

struct Tick {
    double along = 0, kmh = 0, course = 0, longitudinalG = 0, lateralG = 0;
    LatLon place;
};

struct HardStop {
    int tick = 0; // when braking began
    LatLon place;
};

// The whole drive at 10 Hz: cruise, slow for corners, stop at the route's end, and brake hard to a
// stop at about 35 % and 75 % of the time (as soon as the car is fast enough).
std::vector<Tick> simulate(const std::vector<LatLon>& route, uint32_t seconds, std::vector<HardStop>* stops) {
    const double length = RouteLength(route);
    std::vector<Tick> ticks;
    double along = 0, v = 0, course = headingAlong(route, 0, length);
    std::vector<double> brakeAt{0.35 * seconds, 0.75 * seconds};
    size_t nextBrake = 0;
    int braking = 0, standing = 0; // ticks left standing after a hard stop
    for (uint32_t i = 0; i < seconds * 10; ++i) {
        const double t = i / 10.0;
        double a;
        if (braking) {
            a = -kHardBrakeG * kGravity;
            if (v + a * 0.1 <= 0) {
                braking = 0;
                standing = 20;
            }
        } else if (standing) {
            a = 0;
            --standing;
        } else if (nextBrake < brakeAt.size() && t >= brakeAt[nextBrake] && v * 3.6 >= kMinBrakeKmh) {
            braking = 1;
            a = -kHardBrakeG * kGravity;
            stops->push_back({int(i), pointAlong(route, along)});
            ++nextBrake;
        } else {
            const double turn =
                std::fabs(std::remainder(headingAlong(route, along + 40.0, length) - course, 360.0));
            double target = std::min(kCruiseKmh, std::max(15.0, 60.0 - turn * 0.6)) / 3.6;
            // Come to rest at the route's end at 0.25 G.
            target = std::min(target, std::sqrt(2 * 0.25 * kGravity * std::max(0.0, length - along - 2.0)));
            a = std::clamp((target - v) / 0.1, -0.28 * kGravity, 0.2 * kGravity);
        }
        const double nv = std::max(0.0, v + a * 0.1);
        along = std::min(length, along + (v + nv) / 2 * 0.1);
        const double nextCourse = nv > 0.5 ? headingAlong(route, along, length) : course;
        Tick tk;
        tk.along = along;
        tk.kmh = nv * 3.6;
        tk.course = nextCourse;
        tk.longitudinalG = (nv - v) / 0.1 / kGravity;
        tk.lateralG = nv * std::remainder(nextCourse - course, 360.0) * kDegToRad / 0.1 / kGravity;
        tk.place = pointAlong(route, along);
        ticks.push_back(tk);
        v = nv;
        course = nextCourse;
    }
    return ticks;
}

std::string cameraName(std::time_t utc) {
    const std::time_t camera = utc + 9 * 3600; // the camera's clock runs on Korean time
    std::tm tm{};
    gmtime_r(&camera, &tm);
    char t[64];
    std::strftime(t, sizeof t, "RTC%Y%m%d_%H%M%S.qmv", &tm);
    return t;
}

std::string utcText(std::time_t utc) {
    std::tm tm{};
    gmtime_r(&utc, &tm);
    char t[32];
    std::strftime(t, sizeof t, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return t;
}

bool writeClip(const fs::path& path, const DriveMedia& media, const std::vector<TimedRecord>& records,
               std::string* error) {
    RecordingLayout layout;
    layout.video = {media.videoSpec};
    AudioTrackSpec audio;
    audio.codec = AudioCodec::Aac;
    audio.sampleRate = 44100;
    audio.codecConfig = media.aac.codecConfig;
    layout.audio = audio;
    auto writer = RecordingWriter::create(path, layout, RecordingForm::Camera, error);
    if (!writer)
        return false;
    size_t v = 0, s = 0, r = 0;
    while (v < media.video.frames.size() || s < media.aac.frames.size() || r < records.size()) {
        const uint64_t tv = v < media.video.frames.size() ? media.video.frames[v].timeMs : UINT64_MAX;
        const uint64_t ts = s < media.aac.frames.size() ? media.aac.frames[s].timeMs : UINT64_MAX;
        const uint64_t tr = r < records.size() ? records[r].timeMs : UINT64_MAX;
        bool ok;
        if (tv <= ts && tv <= tr) {
            const auto& f = media.video.frames[v++];
            ok = writer->writeVideoFrame(0, f.data.data(), f.data.size(), f.keyFrame);
        } else if (ts <= tr) {
            const auto& f = media.aac.frames[s++];
            ok = writer->writeAudioFrame(f.data.data(), f.data.size());
        } else {
            const auto& rec = records[r++];
            ok = writer->writeRecord(rec.timeMs, rec.bytes.data(), rec.bytes.size());
        }
        if (!ok) {
            *error = writer->error();
            return false;
        }
    }
    if (!writer->finish()) {
        *error = writer->error();
        return false;
    }
    return true;
}

} // namespace

bool WriteDrives(const fs::path& card, const std::string& folder, const DrivePlanOptions& options,
                 const DriveMedia& media, std::vector<std::string>* lines, std::string* error) {
    QJsonArray manifest;
    std::tm first{};
    first.tm_year = 2026 - 1900;
    first.tm_mon = 11;
    first.tm_mday = 8;
    const std::time_t day0 = timegm(&first);
    const uint32_t clip = std::max<uint32_t>(options.clipSeconds, 1);
    for (int d = 0; d < options.drives; ++d) {
        // Two drives a day, one there in the morning and one back in the evening (camera time
        // 10:00 and 18:00, that is 01:00 and 09:00 UTC).
        std::vector<LatLon> route = DemoRoute();
        if (d % 2)
            std::reverse(route.begin(), route.end());
        const std::time_t start = day0 + (d / 2) * 86400 + 3600 + (d % 2) * 8 * 3600;
        const int clips = 3 + d % 2;
        const uint32_t seconds = clips * clip;
        std::vector<HardStop> stops;
        const std::vector<Tick> ticks = simulate(route, seconds, &stops);

        QJsonArray braking;
        for (const HardStop& stop : stops) {
            QJsonObject b;
            b["lat"] = stop.place.first;
            b["lon"] = stop.place.second;
            b["utc"] = QString::fromStdString(utcText(start + stop.tick / 10));
            b["recording"] =
                QString::fromStdString(folder + "/" + cameraName(start + (stop.tick / 10 / clip) * clip));
            b["offsetMs"] = int((stop.tick % (clip * 10)) * 100);
            braking.append(b);
        }
        std::vector<std::string> names;
        for (int c = 0; c < clips; ++c) {
            const std::time_t clipStart = start + c * clip;
            TrackPlan header;
            header.seconds = 0; // the information and setup records only
            header.recordingId = header.recordingPassword = "QRT4$%^78M";
            std::vector<TimedRecord> records = MakeTrackRecords(header);
            for (uint32_t i = 0; i < clip * 10; ++i) {
                const Tick& tk = ticks[c * clip * 10 + i];
                if (i % 10 == 0) {
                    const std::time_t now = clipStart + i / 10;
                    std::tm utc{};
                    gmtime_r(&now, &utc);
                    const std::string s = MakeRmcSentence(utc, true, tk.place.first, tk.place.second,
                                                          tk.kmh / 1.852, tk.course, '0');
                    records.push_back({i * 100, std::vector<uint8_t>(s.begin(), s.end())});
                }
                const double z = 1.0 + 0.04 * std::sin(i * 1.7) + 0.02 * std::sin(i * 4.1);
                records.push_back(
                    {i * 100 + 50, MakeGsensorRecord('M', 10, tk.lateralG, tk.longitudinalG, z)});
            }
            const std::string name = cameraName(clipStart);
            if (!writeClip(card / folder / name, media, records, error)) {
                *error = name + ": " + *error;
                return false;
            }
            names.push_back(folder + "/" + name);
        }
        // What the index should measure: the way driven from the first position fix to the last.
        const double distance = ticks[(seconds - 1) * 10].along - ticks[0].along;
        QJsonObject drive;
        drive["drive"] = d + 1;
        drive["start"] = QString::fromStdString(utcText(start));
        drive["recordings"] = QJsonArray::fromStringList([&] {
            QStringList l;
            for (const auto& n : names)
                l << QString::fromStdString(n);
            return l;
        }());
        drive["distanceM"] = std::round(distance * 10) / 10;
        drive["hardBraking"] = braking;
        manifest.append(drive);
        char line[200];
        std::snprintf(line, sizeof line, "%s ... (%d recordings of %u s)  drive %d, %.0f m, %d hard stop(s)",
                      names.front().c_str(), clips, clip, d + 1, distance, int(stops.size()));
        lines->push_back(line);
    }
    if (options.manifest && options.drives > 0) {
        QJsonObject root;
        root["drives"] = manifest;
        const std::string failure = ReplaceFileContents(
            card / "drives.json", QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString());
        if (!failure.empty()) {
            *error = failure;
            return false;
        }
        lines->push_back("drives.json  where the drives went and braked hard");
    }
    return true;
}
