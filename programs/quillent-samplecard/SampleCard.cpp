#include "SampleCard.h"

#include "DemoStreetMap.h"
#include "DriveCard.h"
#include "MediaEncoder.h"
#include "TrackRecords.h"
#include "camera_files.h"
#include "core/config/ViewerConfig.h"
#include "core/container/RecordingWriter.h"

#include <algorithm>
#include <future>
#include <cstdio>
#include <map>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kMasterPassword = "QRT4$%^78M";

enum class Ending { Finished, Unfinished, Truncated };

struct RecordingPlan {
    FolderKind folder;
    std::string name; // file name, extension included
    int channels = 3;
    bool pcm = false;
    char gsensorForm = 'M';
    int sResolution = 10;
    SetupForm setup = SetupForm::V;
    std::vector<std::pair<uint32_t, char>> events;
    std::string id = kMasterPassword, password = kMasterPassword;
    Ending ending = Ending::Finished;
    std::string note;
};

struct ChannelFormat {
    uint32_t width, height, fps, kbps;
};

// The picture of the first channel or of the others in each profile.
const ChannelFormat& channelFormat(SampleProfile profile, bool first) {
    static constexpr ChannelFormat kSmall[] = {{320, 180, 10, 250}, {256, 144, 10, 250}};
    static constexpr ChannelFormat kDemo[] = {{1280, 720, 30, 2500}, {640, 360, 30, 800}};
    static constexpr ChannelFormat kRealistic[] = {{1920, 1080, 30, 6000}, {1280, 720, 30, 3000}};
    const ChannelFormat* formats = profile == SampleProfile::Realistic ? kRealistic
                                   : profile == SampleProfile::Demo    ? kDemo
                                                                       : kSmall;
    return formats[first ? 0 : 1];
}

struct Folders {
    std::map<FolderKind, std::string> names{{FolderKind::Normal, "NORMAL"},
                                            {FolderKind::Event, "EVENT"},
                                            {FolderKind::Motion, "MOTION"},
                                            {FolderKind::Manual, "MANUAL"}};
};

Folders readFolders(const fs::path& configFile) {
    Folders folders;
    if (configFile.empty() || !fs::exists(configFile))
        return folders;
    ViewerConfig config;
    if (!LoadViewerConfigFile(configFile.string(), config))
        return folders;
    std::map<FolderKind, std::string> found;
    for (int i = 0; i < config.GetDirCount(); ++i) {
        DirEntry e;
        if (config.GetDirEntry(i, e) && !e.name.empty() && !found.count(FolderKind(e.kind)))
            found[FolderKind(e.kind)] = e.name;
    }
    for (auto& [kind, name] : found)
        folders.names[kind] = name;
    return folders;
}

// Date and time digits of a name such as "EVENT_RTC20261207_080130.qmv" as a UTC time (the camera
// clock runs nine hours ahead of the GPS time the sentences carry).
std::tm gpsStartFromName(const std::string& name) {
    size_t p = name.find("TC");
    std::tm t{};
    if (p == std::string::npos || p + 17 > name.size())
        return t;
    auto num = [&](size_t at, size_t n) { return std::stoi(name.substr(at, n)); };
    size_t d = p + 2;
    t.tm_year = num(d, 4) - 1900;
    t.tm_mon = num(d + 4, 2) - 1;
    t.tm_mday = num(d + 6, 2);
    t.tm_hour = num(d + 9, 2);
    t.tm_min = num(d + 11, 2);
    t.tm_sec = num(d + 13, 2);
    bool utc = name.compare(p - 1, 3, "UTC") == 0;
    std::time_t at = timegm(&t) - (utc ? 0 : 9 * 3600);
    gmtime_r(&at, &t);
    return t;
}

std::vector<RecordingPlan> plans() {
    using F = FolderKind;
    std::vector<RecordingPlan> p;
    auto plan = [](F folder, const char* name, int channels, bool pcm, char form, int resolution = 10,
                   SetupForm setup = SetupForm::V) {
        RecordingPlan r;
        r.folder = folder;
        r.name = name;
        r.channels = channels;
        r.pcm = pcm;
        r.gsensorForm = form;
        r.sResolution = resolution;
        r.setup = setup;
        return r;
    };
    p.push_back(plan(F::Normal, "RTC20261207_080000.qmv", 3, false, 'M'));
    p.back().note = "V setup record";
    p.push_back(plan(F::Normal, "UTC20261207_230100.qmv", 2, false, '2', 10, SetupForm::Z));
    p.back().note = "UTC name, Z setup pieces";
    p.push_back(plan(F::Normal, "RTC20261207_080200.qmv", 1, true, '4'));
    p.back().note = "plain";
    p.push_back(plan(F::Normal, "RTC20261207_080300.qmv", 2, false, 'S', 8, SetupForm::Z));
    p.back().id = "driver01";
    p.back().password = "2580";
    p.back().note = "protected (ID driver01, password 2580)";
    p.push_back(plan(F::Normal, "RTC20261207_080400.qmv", 3, false, '8'));
    p.back().ending = Ending::Unfinished;
    p.back().note = "unfinished (zero sizes, no index)";
    p.push_back(plan(F::Normal, "RTC20261207_080500.qmv", 2, false, 'M'));
    p.back().ending = Ending::Truncated;
    p.back().note = "truncated inside the movie data";
    p.push_back(plan(F::Event, "EVENT_RTC20261207_080130.qmv", 3, false, '4'));
    p.back().events = {{1, 'E'}};
    p.back().note = "event mark E";
    p.push_back(plan(F::Event, "EMERGENCY_RTC20261207_080230.qmv", 2, false, '8'));
    p.back().events = {{0, 'S'}, {2, 'B'}};
    p.back().note = "event marks S, B";
    p.push_back(plan(F::Motion, "PARK_RTC20261207_091500.qmv", 1, false, 'S', 10, SetupForm::V));
    p.back().events = {{1, 'P'}};
    p.back().note = "parking, event mark P";
    p.push_back(plan(F::Motion, "MOTION_RTC20261207_092000.qmv", 2, false, '2', 10, SetupForm::None));
    p.back().events = {{2, 'M'}};
    p.back().note = "motion, event mark M, no setup record";
    p.push_back(plan(F::Manual, "RTC20261207_081000.qmv", 3, false, 'M'));
    p.back().events = {{1, 'U'}};
    p.back().note = "manual, event mark U";
    return p;
}

// The demo card's recordings as a camera writes them: drives of one-minute recordings of one form
// each, event recordings included (three channels from 08:00, two from 08:03, three again from
// 08:10; sound always AAC), so that a merge joins a drive and stops where the next begins.
std::vector<RecordingPlan> demoDrives(std::vector<RecordingPlan> p) {
    for (RecordingPlan& r : p) {
        const size_t at = r.name.rfind('_');
        const std::string time = at == std::string::npos ? std::string() : r.name.substr(at + 1, 6);
        if (r.name.rfind("UTC", 0) == 0 || time < "080000" || time >= "081100")
            continue; // the other drives (parking, motion) keep their own forms
        r.channels = time >= "080300" && time < "081000" ? 2 : 3;
        r.pcm = false;
    }
    return p;
}

struct Streams {
    std::vector<EncodedStream> video; // per channel
    EncodedStream aac;
    EncodedStream pcm;
};

std::string humanSize(uintmax_t bytes) {
    char text[32];
    if (bytes >= 1 << 20)
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / 1048576.0);
    else
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    return text;
}

// Where the car is at the start of a demo recording: the drive starts at 08:00 camera time and
// covers about 6 m a second (traffic lights included); parked recordings stand at the end.
void placeOnDemoRoute(TrackPlan& track, const RecordingPlan& plan) {
    track.route = DemoRoute();
    track.parked = plan.folder == FolderKind::Motion;
    std::tm first = gpsStartFromName("RTC20261207_080000.qmv");
    std::tm at = track.utcStart;
    const double elapsed = double(timegm(&at) - timegm(&first));
    track.routeStartM = track.parked ? RouteLength(track.route) : std::max(0.0, elapsed) * 6.0;
    // Events in the middle of the drive rather than in its first seconds.
    for (auto& event : track.events)
        event.first = 8 + event.first * 7;
}

bool writeRecording(const fs::path& path, const RecordingPlan& plan, const Streams& streams,
                    const std::vector<VideoTrackSpec>& specs, uint32_t seconds, size_t planIndex, bool demo,
                    std::string* error) {
    RecordingLayout layout;
    layout.video.assign(specs.begin(), specs.begin() + plan.channels);
    AudioTrackSpec audio;
    if (plan.pcm) {
        audio.codec = AudioCodec::Pcm;
        audio.sampleRate = 16000;
    } else {
        audio.codec = AudioCodec::Aac;
        audio.sampleRate = 44100;
        audio.codecConfig = streams.aac.codecConfig;
    }
    layout.audio = audio;
    auto writer = RecordingWriter::create(path, layout, RecordingForm::Camera, error);
    if (!writer)
        return false;

    TrackPlan track;
    track.seconds = seconds;
    track.utcStart = gpsStartFromName(plan.name);
    track.phase = double(planIndex) * 7.0;
    track.startLat = 37.5665 + 0.01 * double(planIndex);
    track.startLon = 126.9780 + 0.013 * double(planIndex);
    track.gsensorForm = plan.gsensorForm;
    track.sResolution = plan.sResolution;
    track.events = plan.events;
    track.recordingId = plan.id;
    track.recordingPassword = plan.password;
    track.setup = plan.setup;
    if (demo)
        placeOnDemoRoute(track, plan);
    const auto records = MakeTrackRecords(track);

    // Interleave every stream by time: video channels, then audio, then data at equal times.
    struct Item {
        uint64_t timeMs;
        int kind; // 0..3 video channel, 10 audio, 20 record
        size_t index;
    };
    std::vector<Item> items;
    for (int ch = 0; ch < plan.channels; ++ch)
        for (size_t i = 0; i < streams.video[ch].frames.size(); ++i)
            items.push_back({streams.video[ch].frames[i].timeMs, ch, i});
    const EncodedStream& sound = plan.pcm ? streams.pcm : streams.aac;
    for (size_t i = 0; i < sound.frames.size(); ++i)
        items.push_back({sound.frames[i].timeMs, 10, i});
    for (size_t i = 0; i < records.size(); ++i)
        items.push_back({records[i].timeMs, 20, i});
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return a.timeMs != b.timeMs ? a.timeMs < b.timeMs : a.kind < b.kind;
    });
    for (const Item& it : items) {
        bool ok;
        if (it.kind < 10) {
            const auto& f = streams.video[it.kind].frames[it.index];
            ok = writer->writeVideoFrame(it.kind, f.data.data(), f.data.size(), f.keyFrame);
        } else if (it.kind == 10) {
            const auto& f = sound.frames[it.index];
            ok = writer->writeAudioFrame(f.data.data(), f.data.size());
        } else {
            const auto& r = records[it.index];
            ok = writer->writeRecord(r.timeMs, r.bytes.data(), r.bytes.size());
        }
        if (!ok) {
            *error = writer->error();
            return false;
        }
    }
    bool ok = plan.ending == Ending::Unfinished ? writer->abandon() : writer->finish();
    if (!ok) {
        *error = writer->error();
        return false;
    }
    if (plan.ending == Ending::Truncated) {
        // Cut in the middle of the movie data, as an interrupted copy leaves a file; an odd length
        // makes sure the cut falls inside a chunk.
        std::error_code ec;
        uintmax_t size = fs::file_size(path, ec);
        fs::resize_file(path, (size * 2 / 3) | 1, ec);
        if (ec) {
            *error = "cannot truncate " + path.string();
            return false;
        }
    }
    return true;
}

// The drives of --drives (and a few on the demo card): one channel and sound, clips of their own
// length when it differs from the profile's.
bool writeDriveRecordings(const fs::path& card, const std::string& folder, const SampleCardOptions& options,
                          const Streams& streams, const VideoRequest& request, const VideoTrackSpec& spec,
                          uint32_t seconds, std::vector<std::string>* lines, std::string* error) {
    DrivePlanOptions plan;
    plan.drives = options.drives >= 0 ? options.drives : options.profile == SampleProfile::Demo ? 3 : 0;
    plan.manifest = options.drives > 0;
    plan.clipSeconds = options.driveClipSeconds ? options.driveClipSeconds : seconds;
    if (plan.drives <= 0)
        return true;
    DriveMedia media;
    media.videoSpec = spec;
    if (plan.clipSeconds == seconds) {
        media.video = streams.video[0];
        media.aac = streams.aac;
    } else {
        VideoRequest r = request;
        r.seconds = plan.clipSeconds;
        media.video = EncodeVideo(r);
        media.aac = EncodeAac(44100, 1, plan.clipSeconds);
        if (!media.video.error.empty() || !media.aac.error.empty()) {
            *error = "encoding failed: " + media.video.error + media.aac.error;
            return false;
        }
    }
    return WriteDrives(card, folder, plan, media, lines, error);
}

} // namespace

SampleCardResult WriteSampleCard(const fs::path& card, const SampleCardOptions& options) {
    SampleCardResult result;
    std::string error;
    if (!InitMediaEncoder(&error)) {
        result.error = error;
        return result;
    }
    std::error_code ec;
    fs::create_directories(card, ec);
    if (ec) {
        result.error = "cannot create " + card.string() + ": " + ec.message();
        return result;
    }
    const Folders folders = readFolders(options.configFile);
    for (const auto& [kind, name] : folders.names) {
        fs::create_directories(card / name, ec);
        if (ec) {
            result.error = "cannot create " + (card / name).string() + ": " + ec.message();
            return result;
        }
    }

    const bool demo = options.profile == SampleProfile::Demo;
    const uint32_t seconds = options.profile == SampleProfile::Realistic ? 60 : demo ? 30 : 3;
    std::vector<VideoTrackSpec> specs;
    std::vector<VideoRequest> requests;
    for (int ch = 0; ch < 3; ++ch) {
        VideoRequest r;
        r.label = "CH" + std::to_string(ch + 1);
        r.pattern = ch;
        r.seconds = seconds;
        const ChannelFormat& f = channelFormat(options.profile, ch == 0);
        r.width = f.width;
        r.height = f.height;
        r.fps = f.fps;
        r.kbps = f.kbps;
        r.drawnRoad = options.profile == SampleProfile::Demo;
        requests.push_back(r);
        specs.push_back({r.width, r.height, r.fps, 1});
    }

    // The channels' pictures are the same in every recording; only their length counts. The
    // channels and the sound are encoded side by side, one pipeline each.
    Streams streams;
    std::vector<std::future<EncodedStream>> videos;
    for (const auto& r : requests)
        videos.push_back(std::async(std::launch::async, [r] { return EncodeVideo(r); }));
    auto aac = std::async(std::launch::async, [seconds] { return EncodeAac(44100, 1, seconds); });
    for (auto& v : videos)
        streams.video.push_back(v.get());
    streams.aac = aac.get();
    for (const auto& v : streams.video) {
        if (!v.error.empty()) {
            result.error = "video encoding failed: " + v.error;
            return result;
        }
    }
    if (!streams.aac.error.empty() || streams.aac.codecConfig.empty()) {
        result.error = "AAC encoding failed: " + streams.aac.error;
        return result;
    }
    streams.pcm = MakePcm(16000, 1, seconds);

    const auto list = demo ? demoDrives(plans()) : plans();
    for (size_t i = 0; i < list.size(); ++i) {
        const auto& plan = list[i];
        fs::path path = card / folders.names.at(plan.folder) / plan.name;
        if (!writeRecording(path, plan, streams, specs, seconds, i, demo, &error)) {
            result.error = path.string() + ": " + error;
            return result;
        }
        result.lines.push_back(folders.names.at(plan.folder) + "/" + plan.name + "  " +
                               humanSize(fs::file_size(path, ec)) + "  " + std::to_string(plan.channels) +
                               " ch, " + (plan.pcm ? "PCM" : "AAC") + ", " + plan.note);
    }

    if (!writeDriveRecordings(card, folders.names.at(FolderKind::Normal), options, streams, requests[0],
                              specs[0], seconds, &result.lines, &error)) {
        result.error = "drives: " + error;
        return result;
    }

    VideoRequest mp4 = requests[0];
    const std::string mp4Name = "RTC20261207_082000.mp4";
    fs::path mp4Path = card / folders.names.at(FolderKind::Normal) / mp4Name;
    if (!WriteMp4(mp4Path.string(), mp4, &error)) {
        result.error = mp4Path.string() + ": " + error;
        return result;
    }
    result.lines.push_back(folders.names.at(FolderKind::Normal) + "/" + mp4Name + "  " +
                           humanSize(fs::file_size(mp4Path, ec)) + "  plain MP4 (H.264 + AAC)");
    try {
        WriteSampleCameraFiles(card);
    } catch (const std::exception& e) {
        result.error = std::string("camera files: ") + e.what();
        return result;
    }
    for (const auto& e : fs::directory_iterator(card))
        if (e.is_regular_file())
            result.lines.push_back(e.path().filename().string() + "  " + humanSize(e.file_size()) +
                                   "  camera file");
    if (demo) {
        // The streets of the drive as an offline map at the card's root, where the player finds it.
        int tiles = 0;
        const fs::path map = card / kDemoStreetMapName;
        if (const std::string e = WriteDemoStreetMap(map, &tiles); !e.empty()) {
            result.error = "street map: " + e;
            return result;
        }
        result.lines.push_back(std::string(kDemoStreetMapName) + "  " + humanSize(fs::file_size(map, ec)) + "  " +
                               std::to_string(tiles) + " street map tiles of the drive (MBTiles)");
    }
    result.ok = true;
    return result;
}
