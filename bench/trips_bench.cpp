// The trips index on a generated card of about 1,000 one-minute recordings, run by hand:
//   build/bench/trips_bench [--card <folder>]
// Without --card the card is generated into a temporary folder first (a few minutes, about 2.5 GB)
// and removed afterwards. Compares indexing the card with reading the same data records the way
// "quillent-tool records" does, then times re-opening the index to the trips and a place query.
#include "core/container/RecordingReader.h"
#include "core/index/CardIndexer.h"
#include "core/index/Trips.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path g_card;
fs::path g_work;
std::vector<fs::path> g_recordings;

void findRecordings() {
    for (const auto& e : fs::recursive_directory_iterator(g_card))
        if (e.is_regular_file() && e.path().extension() == ".qmv")
            g_recordings.push_back(e.path());
}

void BM_ReadDataRecords(benchmark::State& state) {
    for (auto _ : state) {
        int64_t records = 0;
        for (const auto& path : g_recordings) {
            std::string error;
            auto reader = RecordingReader::open(path, &error);
            if (!reader)
                continue;
            uint8_t buffer[RecordSource::kMaxRecordSize];
            uint32_t size = sizeof buffer, time = 0;
            while (reader->GetNextRecord(buffer, &size, &time) == 0) {
                ++records;
                size = sizeof buffer;
            }
        }
        benchmark::DoNotOptimize(records);
    }
    state.counters["recordings"] = double(g_recordings.size());
}

void BM_IndexCard(benchmark::State& state) {
    int run = 0;
    for (auto _ : state) {
        const fs::path db = g_work / ("index-" + std::to_string(run++) + ".sqlite");
        std::string error;
        auto index = TripIndex::open(IndexLocation::sqlite(db.string()), &error);
        const IndexRunResult result = IndexCard(*index, g_card, {});
        if (!result.ok)
            state.SkipWithError(result.message.c_str());
        state.counters["read"] = result.read;
    }
}

// The index the next two read, made once.
const fs::path& builtIndex() {
    static const fs::path db = [] {
        const fs::path p = g_work / "built.sqlite";
        std::string error;
        auto index = TripIndex::open(IndexLocation::sqlite(p.string()), &error);
        IndexCard(*index, g_card, {});
        return p;
    }();
    return db;
}

void BM_ReopenToTrips(benchmark::State& state) {
    const fs::path& db = builtIndex();
    const std::string card = CardKey(g_card);
    size_t trips = 0, points = 0;
    for (auto _ : state) {
        std::string error;
        auto index = TripIndex::open(IndexLocation::sqlite(db.string()), &error);
        const auto recordings = index->recordings(card);
        trips = BuildTrips(recordings).size();
        points = 0;
        for (const auto& r : recordings)
            points += r.track.size();
    }
    state.counters["trips"] = double(trips);
    state.counters["points"] = double(points);
}

void BM_RescanUnchanged(benchmark::State& state) {
    const fs::path& db = builtIndex();
    std::string error;
    auto index = TripIndex::open(IndexLocation::sqlite(db.string()), &error);
    for (auto _ : state) {
        const IndexRunResult result = IndexCard(*index, g_card, {});
        state.counters["read"] = result.read;
    }
}

void BM_PlaceQuery(benchmark::State& state) {
    std::string error;
    auto index = TripIndex::open(IndexLocation::sqlite(builtIndex().string()), &error);
    size_t hits = 0;
    for (auto _ : state) {
        // On Jongno, which every drive passes.
        hits = index->recordingsNear(37.5701, 126.9880, 50.0).size();
        benchmark::DoNotOptimize(hits);
    }
    state.counters["hits"] = double(hits);
}

BENCHMARK(BM_ReadDataRecords)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_IndexCard)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RescanUnchanged)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReopenToTrips)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_PlaceQuery)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    bool generated = false;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--card" && i + 1 < argc)
            g_card = argv[++i];
        else
            rest.push_back(argv[i]);
    }
    std::string pattern = (fs::temp_directory_path() / "quillent-trips-bench.XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 1;
    g_work = pattern;
    if (g_card.empty()) {
        // 286 drives of 3 and 4 alternately: 1,001 one-minute recordings.
        g_card = g_work / "card";
        const std::string command = std::string("'") + QUILLENT_BIN_DIR + "/quillent-samplecard' '" +
                                    g_card.string() + "' --drives 286 --clip-seconds 60 > /dev/null";
        std::fprintf(stderr, "generating %s ...\n", g_card.c_str());
        if (std::system(command.c_str()) != 0)
            return 1;
        generated = true;
    }
    findRecordings();
    std::fprintf(stderr, "%zu recordings\n", g_recordings.size());
    int n = int(rest.size());
    benchmark::Initialize(&n, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The work folder holds the indexes and, when it was generated here, the card.
    std::error_code ec;
    fs::remove_all(g_work, ec);
    (void)generated;
    return 0;
}
