// Scan, order and list fill of 10 000 recordings in the configured folders of a folder source,
// beside `find` over the same tree in the same run. Run by hand: build/bench/list_scan_bench
// (the tree is written once under the temporary folder and removed at the end).
#include "core/recordings/FileListModel.h"
#include "core/recordings/ListText.h"
#include "core/recordings/RecordingScanner.h"
#include "core/recordings/ReportList.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {
constexpr int kRecordings = 10000;

const fs::path& tree() {
    static const fs::path root = [] {
        fs::path r = fs::temp_directory_path() / "quillent-bench-scan";
        fs::remove_all(r);
        const char* folders[] = {"NORMAL", "EVENT", "MOTION", "MANUAL"};
        const char* prefixes[] = {"", "EVENT_", "MOTION_", ""};
        std::vector<std::pair<int, int>> order;
        for (int i = 0; i < kRecordings; ++i)
            order.emplace_back(i % 4, i);
        // Written in shuffled order so that creation order and name order disagree.
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        for (const char* f : folders)
            fs::create_directories(r / f);
        for (const auto& [folder, i] : order) {
            char name[64];
            std::snprintf(name, sizeof name, "%sRTC2014%02d%02d_%02d%02d%02d_F.qmv", prefixes[folder],
                          1 + i % 12, 1 + i % 28, i / 3600 % 24, i / 60 % 60, i % 60);
            std::ofstream(r / folders[folder] / name) << 'x';
        }
        // A few files that are not recordings.
        for (int i = 0; i < 100; ++i)
            std::ofstream(r / "NORMAL" / ("log" + std::to_string(i) + ".txt")) << 'x';
        std::atexit([] { fs::remove_all(fs::temp_directory_path() / "quillent-bench-scan"); });
        return r;
    }();
    return root;
}

void BM_ScanOrderFill(benchmark::State& state) {
    const fs::path& root = tree();
    RecordingScanner scanner;
    scanner.SetFolders({{"NORMAL"}, {"EVENT"}, {"MOTION"}, {"MANUAL"}});
    scanner.SetExtensions({"qmv", "mp4"});
    scanner.SetRecursion(true, true);
    scanner.Drives().push_back({0, "folder", kFolderSource, "", false});
    ReportList report;
    FileListModel model;
    for (auto _ : state) {
        scanner.ScanSource(0, [&](const std::string&) { return std::optional<fs::path>(root); });
        scanner.OrderByNameTime();
        scanner.FillReportList(report);
        model.Clear();
        for (const auto& e : scanner.Entries())
            model.Append(MakeFileInfo(e));
        benchmark::DoNotOptimize(model.Count());
    }
    state.counters["recordings"] = scanner.EntryCount();
}
BENCHMARK(BM_ScanOrderFill)->Unit(benchmark::kMillisecond);

void BM_FindSameTree(benchmark::State& state) {
    const std::string cmd =
        "find '" + tree().string() + "' -type f -iname '*.qmv' -printf '%T@ %s %p\\n' > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(cmd.c_str()));
}
BENCHMARK(BM_FindSameTree)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
