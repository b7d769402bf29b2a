// Record loop of an opened recording and the setup page's setting string, run by hand:
//   build/bench/track_data_bench
#include "core/camera/SettingString.h"
#include "core/trackdata/RecordingDataLoader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// An hour of driving: one GPS sentence a second and ten G-sensor readings.
class HourSource : public RecordSource {
public:
    HourSource() {
        for (int sec = 0; sec < 3600; ++sec) {
            char buf[128];
            std::snprintf(buf, sizeof buf,
                          "$GPRMC,%02d%02d%02d,A,3723.2475,N,12658.3416,E,%d.5,84.4,070524,,,A,%c",
                          sec / 3600, sec / 60 % 60, sec % 60, sec % 90, sec % 600 == 0 ? 'E' : '0');
            m_records.emplace_back(buf, buf + std::strlen(buf) + 1);
            for (int k = 0; k < 10; ++k)
                m_records.push_back({'M', uint8_t(128 + k), 128, 100});
        }
    }
    int GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t* timestampMs) override {
        if (m_next >= m_records.size())
            return 1;
        const auto& r = m_records[m_next++];
        std::memcpy(buffer, r.data(), r.size());
        *size = static_cast<uint32_t>(r.size());
        *timestampMs = static_cast<uint32_t>(m_next * 91);
        return 0;
    }
    void Rewind() override { m_next = 0; }
    size_t size() const { return m_records.size(); }

private:
    std::vector<std::vector<uint8_t>> m_records;
    size_t m_next = 0;
};

void BM_LoadHourOfRecords(benchmark::State& state) {
    HourSource source;
    for (auto _ : state) {
        source.Rewind();
        RecordingDataLoader loader;
        RecordingData data = loader.Load(&source);
        benchmark::DoNotOptimize(data.gps.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(source.size()));
}
BENCHMARK(BM_LoadHourOfRecords)->Unit(benchmark::kMillisecond);

void BM_SettingStringRoundTrip(benchmark::State& state) {
    SetupRecord record = DefaultSetupRecord();
    SetSetupText(record.driver, "\xEB\xB0\x95\xEB\xAF\xBC\xEC\xA4\x80");
    const std::string text = MakeSettingString(record);
    for (auto _ : state) {
        SetupRecord r;
        ParseSettingString(text, r);
        auto calls = PopulateCalls(r);
        benchmark::DoNotOptimize(calls.data());
    }
}
BENCHMARK(BM_SettingStringRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
