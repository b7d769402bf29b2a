// "trips": brings the trips index up to date with a card or folder and lists its drives with their
// figures and driving events; writes them as GPX and CSV, or prints them as JSON.
#include "ToolCommand.h"
#include "core/common/FileReplace.h"
#include "core/index/CardIndexer.h"
#include "core/index/IndexSettings.h"
#include "core/index/Trips.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

int RunTrips(const std::vector<std::string>& args) {
    std::string card, gpx, csv;
    bool json = false;
    TripSettings settings = ReadTripSettings();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--gpx" && hasValue) {
            gpx = args[++i];
        } else if (a == "--csv" && hasValue) {
            csv = args[++i];
        } else if (a == "--json") {
            json = true;
        } else if (a == "--index" && hasValue) {
            settings.localPath = args[++i];
            settings.server.clear();
        } else if (a == "--gap" && hasValue) {
            char* end = nullptr;
            const double seconds = std::strtod(args[++i].c_str(), &end);
            if (!end || *end || seconds <= 0)
                return UsageError("trips", "--gap takes a number of seconds");
            settings.gapMs = int64_t(seconds * 1000);
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("trips", "unknown option " + a);
        } else if (card.empty()) {
            card = a;
        } else {
            return UsageError("trips", "one card or folder at a time");
        }
    }
    if (card.empty())
        return UsageError("trips", "no card or folder given");
    std::error_code ec;
    if (!std::filesystem::is_directory(card, ec)) {
        std::fprintf(stderr, "quillent-tool trips: %s is no folder\n", card.c_str());
        return kExitFailed;
    }

    std::string error, notice;
    auto index = OpenTripIndex(settings, &error, &notice);
    if (!notice.empty())
        std::fprintf(stderr, "quillent-tool trips: %s\n", notice.c_str());
    if (!index) {
        std::fprintf(stderr, "quillent-tool trips: %s\n", error.c_str());
        return kExitFailed;
    }
    IndexRunOptions options;
    options.thresholds = settings.thresholds;
    const IndexRunResult run = IndexCard(*index, card, options);
    for (const auto& problem : run.problems)
        std::fprintf(stderr, "quillent-tool trips: %s\n", problem.c_str());
    if (!run.message.empty())
        std::fprintf(stderr, "quillent-tool trips: %s\n", run.message.c_str());
    std::fprintf(stderr, "%d recording(s): %d read, %d unchanged, %d no longer there\n", run.found, run.read,
                 run.unchanged, run.removed);
    if (!run.ok && !run.lockedByOther)
        return kExitFailed;

    const auto recordings = index->recordings(CardKey(card));
    const auto trips = BuildTrips(recordings, settings.gapMs);
    int status = kExitOk;
    auto write = [&](const std::string& path, const std::string& text) {
        const std::string failure = ReplaceFileContents(path, text);
        if (!failure.empty()) {
            std::fprintf(stderr, "quillent-tool trips: %s\n", failure.c_str());
            status = kExitFailed;
        }
    };
    if (!gpx.empty())
        write(gpx, TripsGpx(trips, recordings));
    if (!csv.empty())
        write(csv, TripsCsv(trips, recordings));
    const std::string out = json ? TripsJson(trips, recordings) : TripsText(trips, recordings);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return status;
}
