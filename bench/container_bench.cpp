// Container benchmarks, run by hand: conversion of a 500 MB recording against "cp" of the same
// file, and reading every data record of a 60-minute recording (finished: through the index;
// unfinished: by walking the chunk headers). The files are made in the temporary folder and
// deleted at the end. Run: build/bench/container_bench [--benchmark_repetitions=3]
#include "core/container/RecordingConverter.h"
#include "core/container/RecordingReader.h"
#include "core/container/RecordingWriter.h"
#include "core/container/RepairedView.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path g_dir;

// A recording with the camera's chunk pattern: three channels at 30 fps, AAC at 44.1 kHz, a GPS
// record per second and G-sensor records at 10 Hz. Frame sizes scale the file.
void writeRecording(const fs::path& path, int seconds, size_t keyBytes, size_t frameBytes, bool finish) {
    RecordingLayout layout;
    layout.video = {{1920, 1080, 30, 1}, {1280, 720, 30, 1}, {1280, 720, 30, 1}};
    AudioTrackSpec audio;
    audio.codecConfig = {0x12, 0x08};
    layout.audio = audio;
    auto w = RecordingWriter::create(path, layout, RecordingForm::Camera, nullptr);
    std::mt19937 rng(5);
    std::vector<uint8_t> payload(keyBytes * 2);
    for (auto& b : payload)
        b = uint8_t(rng());
    payload[4] = 0x67;
    uint32_t audioFrames = 0, records = 0;
    for (int f = 0; f < seconds * 30; ++f) {
        const uint32_t ms = uint32_t(f * 1000 / 30);
        for (int ch = 0; ch < 3; ++ch) {
            const bool key = f % 30 == 0;
            size_t n = (key ? keyBytes : frameBytes) / (ch ? 2 : 1) + rng() % 64;
            payload[4] = key ? 0x67 : 0x41;
            w->writeVideoFrame(ch, payload.data(), n, key);
        }
        while (audioFrames * 1024ull * 1000 / 44100 <= ms) {
            w->writeAudioFrame(payload.data() + 100, 180 + rng() % 60);
            ++audioFrames;
        }
        while (records * 100 <= ms) {
            if (records % 10 == 0) {
                const char gps[] = "$GPRMC,083015.00,A,3733.1234,N,12658.5678,E,23.5,87.2,071226,,,A,0*4F";
                w->writeRecord(records * 100, reinterpret_cast<const uint8_t*>(gps), sizeof gps - 1);
            }
            const uint8_t g[4] = {'M', 128, 130, 144};
            w->writeRecord(records * 100 + 50, g, sizeof g);
            ++records;
        }
    }
    finish ? w->finish() : w->abandon();
}

void BM_ConvertToAvi(benchmark::State& state) {
    const fs::path src = g_dir / "big.qmv";
    for (auto _ : state) {
        int r = ConvertRecording(g_dir / "out", src, true);
        if (r < 0)
            state.SkipWithError("conversion failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(src)));
}

void BM_CpCommand(benchmark::State& state) {
    const fs::path src = g_dir / "big.qmv";
    const std::string command = "cp '" + src.string() + "' '" + (g_dir / "out" / "cp.qmv").string() + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(src)));
}

void BM_CopyRecording(benchmark::State& state) {
    const fs::path src = g_dir / "big.qmv";
    for (auto _ : state)
        if (CopyRecording(g_dir / "out", src) != 0)
            state.SkipWithError("copy failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(src)));
}

void readAll(benchmark::State& state, const char* name) {
    const fs::path src = g_dir / name;
    size_t count = 0;
    for (auto _ : state) {
        auto reader = RecordingReader::open(src, nullptr);
        uint8_t buf[1024];
        uint32_t size = 1024, time = 0;
        count = 0;
        while (reader->GetNextRecord(buf, &size, &time) == 0) {
            size = 1024;
            ++count;
        }
        benchmark::DoNotOptimize(count);
    }
    state.counters["records"] = double(count);
}

void BM_ReadRecords60MinFinished(benchmark::State& state) {
    readAll(state, "long.qmv");
}
void BM_ReadRecords60MinUnfinished(benchmark::State& state) {
    readAll(state, "long-unfinished.qmv");
}

void BM_RepairedViewOpen60Min(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(RepairedView::open(g_dir / "long.qmv", nullptr));
}

} // namespace

BENCHMARK(BM_ConvertToAvi)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpCommand)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CopyRecording)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadRecords60MinFinished)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadRecords60MinUnfinished)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RepairedViewOpen60Min)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string pattern = (fs::temp_directory_path() / "quillent-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 1;
    g_dir = pattern;
    fs::create_directories(g_dir / "out");
    std::fprintf(stderr, "writing test recordings to %s ...\n", g_dir.c_str());
    // About 500 MB: 1080p key frames of 120 KB, other frames 30 KB, for 4 minutes 20 seconds.
    writeRecording(g_dir / "big.qmv", 260, 120000, 30000, true);
    // 60 minutes with the camera's chunk count but small frames, to stay under the 4 GiB limit.
    writeRecording(g_dir / "long.qmv", 3600, 2000, 600, true);
    writeRecording(g_dir / "long-unfinished.qmv", 3600, 2000, 600, false);
    std::fprintf(stderr, "big %.0f MB, long %.0f MB\n", fs::file_size(g_dir / "big.qmv") / 1e6,
                 fs::file_size(g_dir / "long.qmv") / 1e6);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(g_dir);
    return 0;
}
