// "clip": cuts a range of consecutive recordings into one MP4 with the channels laid out together
// and time, speed and place drawn into the picture, plus its manifest.
#include "ToolCommand.h"
#include "core/clips/ClipLayout.h"
#include "core/clips/ClipManifest.h"
#include "core/clips/ClipOptions.h"
#include "core/clips/ClipRange.h"
#include "core/clips/ClipTrack.h"
#include "core/common/FileReplace.h"
#include "core/config/Settings.h"
#include "core/container/RecordingReader.h"
#include "media/clips/ClipEncoder.h"
#include "ui/render/ClipOverlayRenderer.h"
#include "ui/render/SpeedUnit.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::atomic<bool> g_interrupted{false};

void onInterrupt(int) {
    g_interrupted = true;
}

// Channel numbers 1 to 4 as "1,2" into 0-based channels; false when the text is no such list.
bool parseChannels(const std::string& text, std::vector<int>& channels) {
    channels.clear();
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (part.size() != 1 || part[0] < '1' || part[0] > '4')
            return false;
        const int channel = part[0] - '1';
        if (std::find(channels.begin(), channels.end(), channel) != channels.end())
            return false;
        channels.push_back(channel);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return !channels.empty();
}

int speedUnitFrom(const std::string& text) {
    if (text == "kmh")
        return 1;
    if (text == "mph")
        return 2;
    if (text == "knots")
        return 3;
    return 0;
}

} // namespace

int RunClip(const std::vector<std::string>& args) {
    ClipOptions options = ClipOptions::load();
    std::vector<fs::path> recordings;
    std::optional<int64_t> from, to, around;
    std::vector<int> channels; // empty: every channel of the first recording
    fs::path target;
    bool force = false;
    int unit = std::atoi(ReadSetting("speedunit").c_str());
    auto value = [&](size_t& i, const char* what) -> const std::string* {
        if (++i >= args.size())
            return nullptr;
        (void)what;
        return &args[i];
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::string* v = nullptr;
        if (a == "--from" || a == "--to" || a == "--around") {
            if (!(v = value(i, "time")))
                return UsageError("clip", a + " needs a time (seconds or m:ss.mmm)");
            auto t = ParseClipTime(*v);
            if (!t)
                return UsageError("clip", "\"" + *v + "\" is no time (seconds or m:ss.mmm)");
            (a == "--from" ? from : a == "--to" ? to : around) = t;
        } else if (a == "--seconds") {
            if (!(v = value(i, "seconds")) || std::atoi(v->c_str()) < 1 || std::atoi(v->c_str()) > 600)
                return UsageError("clip", "--seconds needs a number from 1 to 600");
            options.markSeconds = std::atoi(v->c_str());
        } else if (a == "--channels") {
            if (!(v = value(i, "channels")) || !parseChannels(*v, channels))
                return UsageError("clip", "--channels needs channel numbers from 1 to 4, such as 1,2");
        } else if (a == "--layout") {
            std::optional<ClipLayoutKind> kind;
            if (!(v = value(i, "layout")) || !(kind = ParseClipLayout(*v)))
                return UsageError("clip", "--layout is one of player, one, side, grid, pip");
            options.layout = *kind;
        } else if (a == "--overlay") {
            std::optional<unsigned> items;
            if (!(v = value(i, "items")) || !(items = ParseOverlayItems(*v)))
                return UsageError("clip",
                                  "--overlay takes time,speed,position,gsensor,map (any of them) or none");
            options.overlay = *items;
        } else if (a == "--overlay-place") {
            if (!(v = value(i, "place")) || (*v != "top" && *v != "bottom"))
                return UsageError("clip", "--overlay-place is top or bottom");
            options.place = *v == "top" ? ClipOverlayPlace::Top : ClipOverlayPlace::Bottom;
        } else if (a == "--height") {
            if (!(v = value(i, "height")) || (*v != "720" && *v != "1080"))
                return UsageError("clip", "--height is 720 or 1080");
            options.height = std::atoi(v->c_str());
        } else if (a == "--unit") {
            if (!(v = value(i, "unit")) || !(unit = speedUnitFrom(*v)))
                return UsageError("clip", "--unit is kmh, mph or knots");
        } else if (a == "-o" || a == "--output") {
            if (!(v = value(i, "file")))
                return UsageError("clip", a + " needs a file name");
            target = *v;
        } else if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("clip", "unknown option " + a);
        } else {
            recordings.push_back(a);
        }
    }
    if (recordings.empty())
        return UsageError("clip", "no recording given");
    if (target.empty())
        return UsageError("clip", "no output file (-o clip.mp4)");
    if (around ? (from || to) : !(from && to))
        return UsageError("clip", "give --from and --to, or --around with --seconds");
    if (unit < 1 || unit > 3)
        unit = 1;

    // The time line: the recordings end to end, in the order given.
    std::vector<ClipSource> sources;
    int videoChannels = 0;
    for (const fs::path& r : recordings) {
        std::string error;
        auto reader = RecordingReader::open(r, &error);
        if (!reader) {
            std::fprintf(stderr, "quillent-tool clip: %s\n", error.c_str());
            return kExitFailed;
        }
        if (reader->info().form == ContainerForm::Mp4) {
            std::fprintf(stderr, "quillent-tool clip: %s is an MP4 file; clips are cut from recordings\n",
                         r.c_str());
            return kExitFailed;
        }
        if (sources.empty())
            videoChannels = reader->info().videoChannels;
        sources.push_back({r, int64_t(reader->info().durationMs), reader->info().truncated});
    }
    const int64_t timeline = SourceStartMs(sources, sources.size());
    const ClipRange range =
        around ? RangeAroundMark(*around, options.markSeconds, timeline) : ClipRange{*from, *to};
    const ClipPlan plan = PlanClip(sources, range);
    if (!plan.ok()) {
        std::fprintf(stderr, "quillent-tool clip: %s\n", plan.error.c_str());
        return kExitFailed;
    }
    if (channels.empty())
        for (int c = 0; c < std::min(videoChannels, 4); ++c)
            channels.push_back(c);
    for (int c : channels)
        if (c >= videoChannels) {
            std::fprintf(stderr, "quillent-tool clip: %s has no channel %d (it has %d)\n",
                         recordings.front().c_str(), c + 1, videoChannels);
            return kExitFailed;
        }
    if (options.layout == ClipLayoutKind::One)
        channels.resize(1);
    const fs::path manifest = ClipManifestPath(target);
    for (const fs::path& r : recordings)
        if (IsSameFile(r, target) || IsSameFile(r, manifest)) {
            std::fprintf(stderr, "quillent-tool clip: the clip would replace one of its recordings\n");
            return kExitFailed;
        }
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        std::fprintf(stderr, "quillent-tool clip: %s is a folder; choose a file name\n", target.c_str());
        return kExitFailed;
    }
    if (!force && (fs::exists(target, ec) || fs::exists(manifest, ec))) {
        std::fprintf(stderr, "quillent-tool clip: %s: already exists (--force replaces it)\n",
                     fs::exists(target, ec) ? target.c_str() : manifest.c_str());
        return kExitFailed;
    }

    const ClipTrack track = ClipTrack::load(plan);
    if (!track.hasGps() && (options.overlay & (kOverlaySpeed | kOverlayPosition | kOverlayMap)))
        std::fprintf(
            stderr, "quillent-tool clip: warning: the recordings have no GPS records; the overlay says so\n");

    // The overlay is drawn by the panels' renderer into the pictures; fonts need a GUI application,
    // which draws into images only here.
    std::unique_ptr<QGuiApplication> app;
    ClipOverlayRenderer renderer;
    renderer.setItems(options.overlay);
    renderer.setPlace(options.place);
    renderer.setUnit(unit);
    ClipEncodeJob job;
    job.pieces = plan.pieces;
    job.geometry = LayoutClip(options.layout, channels, options.height);
    job.framesPerSecond = RecordingFrameRate(recordings.front());
    job.target = target;
    if (options.overlay) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "quillent-tool";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
        job.overlay = [&](uint8_t* bgra, int width, int height, int stride, int64_t clipMs) {
            QImage image(bgra, width, height, stride, QImage::Format_ARGB32_Premultiplied);
            QPainter p(&image);
            renderer.paint(p, image.size(), track.momentAt(clipMs));
        };
    }

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::signal(SIGXFSZ, SIG_IGN); // a file size limit is a write error with a message, like a full disk
    const bool showProgress = isatty(2);
    int lastPercent = -1;
    const ClipEncodeResult r = EncodeClip(job, [&](int64_t done, int64_t total) {
        const int percent = total > 0 ? int(done * 100 / total) : 0;
        if (showProgress && percent != lastPercent) {
            std::fprintf(stderr, "\r%3d %%", percent);
            lastPercent = percent;
        }
        return !g_interrupted;
    });
    if (showProgress)
        std::fputs("\r      \r", stderr);
    WaitForClipTeardown();
    if (!r.ok) {
        std::fprintf(stderr, "quillent-tool clip: %s: %s\n", target.c_str(),
                     r.cancelled ? "cancelled, nothing written" : r.error.c_str());
        return kExitFailed;
    }

    ClipManifestInput in;
    in.plan = plan;
    in.sources = sources;
    in.clip = target;
    in.clipDurationMs = r.durationMs;
    in.width = r.width;
    in.height = r.height;
    in.framesPerSecond = job.framesPerSecond;
    in.layout = ClipLayoutName(options.layout);
    for (int c : channels)
        in.channels.push_back(c + 1);
    in.overlay = OverlayItemsText(options.overlay);
    in.speedUnit = speedUnitFor(unit).name;
    const std::string damage = !plan.damage.empty() ? plan.damage : r.damage;
    in.stoppedAtDamage = damage;
    in.track = &track;
    std::string error;
    const std::string json = MakeClipManifest(in, &error);
    if (json.empty() || !(error = ReplaceFileContents(manifest, json)).empty()) {
        std::fprintf(stderr, "quillent-tool clip: the manifest cannot be written: %s\n", error.c_str());
        return kExitFailed;
    }
    std::printf("%s (%s to %s, %.3f s, %dx%d, %lld pictures)\n%s\n", target.c_str(),
                FormatClipTime(plan.range.fromMs).c_str(), FormatClipTime(plan.range.toMs).c_str(),
                r.durationMs / 1000.0, r.width, r.height, (long long)r.frames, manifest.c_str());
    if (!damage.empty()) {
        std::fprintf(stderr, "quillent-tool clip: warning: the clip stops early: %s\n", damage.c_str());
        return kExitRepaired;
    }
    return kExitOk;
}
