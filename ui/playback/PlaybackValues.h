// The numbers of playback: the rate table, the brightness meter's steps and levels, the volume
// scale and the track range the page and panels span. The page's commands and the player look
// them up here.
#pragma once

#include <array>
#include <cstdint>

namespace PlaybackValues {

inline constexpr std::array<float, 5> kRates = {1.0f, 2.0f, 2.7f, 3.4f, 4.0f}; // "btnSpeedUp/Down" index
inline constexpr int kBrightnessStepMax = 20;                                  // the page's meter: 0..20
inline constexpr int kBrightnessNeutral = 10;
inline constexpr int kBrightnessLevelMax = 255; // engine level at either end: -255..255
inline constexpr int kVolumePercentMax = 100;   // the page's slider
inline constexpr int kVolumeLevelMax = 65535;   // the engine's level

constexpr bool isRateIndex(int index) {
    return index >= 0 && index < static_cast<int>(kRates.size());
}
// The rate of a table index; 1.0 for an index outside it.
constexpr float rateForIndex(int index) {
    return isRateIndex(index) ? kRates[index] : 1.0f;
}
// (step - 10) * 255 / 10, truncated.
constexpr int brightnessLevel(int step) {
    return (step - kBrightnessNeutral) * kBrightnessLevelMax / (kBrightnessStepMax - kBrightnessNeutral);
}
// trunc(percent * 65535 / 100).
constexpr int volumeLevel(int percent) {
    return static_cast<int>(static_cast<int64_t>(percent) * kVolumeLevelMax / kVolumePercentMax);
}
// What the time line, the loop and the panels span: the length less a sixtieth of it.
constexpr int trackRange(uint64_t durationMs) {
    const auto d = static_cast<int64_t>(durationMs);
    return static_cast<int>(d - d / 60);
}

} // namespace PlaybackValues
