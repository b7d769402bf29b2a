#include "ui/clips/ClipExport.h"

#include "core/clips/ClipLayout.h"
#include "core/clips/ClipManifest.h"
#include "core/common/FileReplace.h"
#include "core/container/RecordingReader.h"
#include "ui/render/ClipOverlayRenderer.h"
#include "ui/render/SpeedUnit.h"

#include <QMutex>
#include <QPainter>
#include <QTemporaryDir>

#include <atomic>

namespace fs = std::filesystem;

std::vector<ClipSource> ReadClipSources(const QStringList& paths, int* videoChannels, QString* error) {
    std::vector<ClipSource> sources;
    for (const QString& p : paths) {
        const fs::path path = p.toStdString();
        std::string why;
        auto reader = RecordingReader::open(path, &why);
        if (!reader) {
            *error = QString::fromStdString(why);
            return {};
        }
        if (reader->info().form == ContainerForm::Mp4) {
            *error = QString::fromStdString(path.filename().string() +
                                            " is an MP4 file; clips are cut from recordings");
            return {};
        }
        if (sources.empty() && videoChannels)
            *videoChannels = reader->info().videoChannels;
        sources.push_back({path, int64_t(reader->info().durationMs), reader->info().truncated});
    }
    return sources;
}

ClipGeometry ClipRequestGeometry(const ClipRequest& request) {
    std::vector<int> channels = request.channels;
    if (request.options.layout == ClipLayoutKind::One && channels.size() > 1)
        channels.resize(1);
    return LayoutClip(request.options.layout, channels, request.options.height, request.playerMainLarge);
}

QImage DrawClipOverlay(const QImage& picture, const ClipRequest& request, const ClipTrack& track,
                       int64_t clipMs) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (!request.options.overlay || out.isNull())
        return out;
    ClipOverlayRenderer renderer;
    renderer.setItems(request.options.overlay);
    renderer.setPlace(request.options.place);
    renderer.setUnit(request.speedUnit);
    QPainter p(&out);
    renderer.paint(p, out.size(), track.momentAt(clipMs));
    return out;
}

ClipPreviewPicture MakeClipPreview(const ClipRequest& request) {
    ClipPreviewPicture preview;
    const ClipPlan plan = PlanClip(request.sources, request.range);
    if (!plan.ok()) {
        preview.error = plan.error;
        return preview;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        preview.error = "no scratch folder for the preview";
        return preview;
    }
    auto track = std::make_shared<ClipTrack>(ClipTrack::load(plan));
    ClipEncodeJob job;
    job.pieces = plan.pieces;
    job.geometry = ClipRequestGeometry(request);
    job.framesPerSecond = request.framesPerSecond;
    job.target = fs::path(scratch.path().toStdString()) / "preview.mp4";
    // The encoder hands each composed picture to the overlay painter: the first one is copied and
    // the run is cancelled, which removes what it had begun to write.
    QMutex mutex;
    QImage first;
    std::atomic<bool> have{false};
    job.overlay = [&](uint8_t* bgra, int width, int height, int stride, int64_t) {
        if (have)
            return;
        QMutexLocker lock(&mutex);
        first = QImage(bgra, width, height, stride, QImage::Format_ARGB32_Premultiplied).copy();
        have = true;
    };
    const ClipEncodeResult r = EncodeClip(job, [&](int64_t, int64_t) { return !have; });
    WaitForClipTeardown();
    QMutexLocker lock(&mutex);
    if (first.isNull()) {
        preview.error = r.error.empty() ? "no picture could be read" : r.error;
        return preview;
    }
    preview.picture = first;
    preview.track = std::move(track);
    return preview;
}

ClipOutcome ExportClip(const ClipRequest& request, const ClipProgress& progress) {
    ClipOutcome outcome;
    const ClipPlan plan = PlanClip(request.sources, request.range);
    if (!plan.ok()) {
        outcome.kind = ClipOutcome::Kind::BadRange;
        outcome.detail = plan.error;
        return outcome;
    }
    const fs::path manifest = ClipManifestPath(request.target);
    for (const ClipSource& s : request.sources)
        if (IsSameFile(s.path, request.target) || IsSameFile(s.path, manifest)) {
            outcome.detail = "the clip would replace one of its recordings";
            return outcome;
        }
    std::error_code ec;
    if (fs::is_directory(request.target, ec)) {
        outcome.detail = request.target.string() + " is a folder; choose a file name";
        return outcome;
    }

    const ClipTrack track = ClipTrack::load(plan);
    outcome.noGps = !track.hasGps();
    ClipOverlayRenderer renderer;
    renderer.setItems(request.options.overlay);
    renderer.setPlace(request.options.place);
    renderer.setUnit(request.speedUnit);
    ClipEncodeJob job;
    job.pieces = plan.pieces;
    job.geometry = ClipRequestGeometry(request);
    job.framesPerSecond = request.framesPerSecond;
    job.target = request.target;
    if (request.options.overlay)
        job.overlay = [&](uint8_t* bgra, int width, int height, int stride, int64_t clipMs) {
            QImage image(bgra, width, height, stride, QImage::Format_ARGB32_Premultiplied);
            QPainter p(&image);
            renderer.paint(p, image.size(), track.momentAt(clipMs));
        };
    const ClipEncodeResult r = EncodeClip(job, progress);
    if (!r.ok) {
        // A cancelled run's pipelines may still be going down: the caller waits for them
        // (WaitForClipTeardown) once it has told the user.
        outcome.kind = r.cancelled ? ClipOutcome::Kind::Cancelled : ClipOutcome::Kind::Failed;
        outcome.detail = r.error;
        return outcome;
    }

    ClipManifestInput in;
    in.plan = plan;
    in.sources = request.sources;
    in.clip = request.target;
    in.clipDurationMs = r.durationMs;
    in.width = r.width;
    in.height = r.height;
    in.framesPerSecond = job.framesPerSecond;
    in.layout = ClipLayoutName(request.options.layout);
    for (const ClipCell& cell : job.geometry.cells)
        in.channels.push_back(cell.channel + 1);
    in.overlay = OverlayItemsText(request.options.overlay);
    in.speedUnit = speedUnitFor(request.speedUnit).name;
    outcome.damage = !plan.damage.empty() ? plan.damage : r.damage;
    in.stoppedAtDamage = outcome.damage;
    in.track = &track;
    std::string error;
    const std::string json = MakeClipManifest(in, &error);
    if (json.empty() || !(error = ReplaceFileContents(manifest, json)).empty()) {
        // A clip without its manifest cannot be traced back to the card: neither is kept.
        fs::remove(request.target, ec);
        outcome.detail = "the manifest cannot be written: " + error;
        return outcome;
    }
    outcome.kind = ClipOutcome::Kind::Written;
    outcome.durationMs = r.durationMs;
    outcome.frames = r.frames;
    outcome.manifest = manifest;
    return outcome;
}
