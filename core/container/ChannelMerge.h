// Joins consecutive recordings into one recording per camera channel: the channel's video, the
// sound and every data record, with the records' time stamps continued across the joins. Used by
// the merge window's worker and by quillent-tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Called while the merge works with the bytes of the sources to read and those read so far;
// return false to cancel.
using MergeProgress = std::function<bool(uint64_t total, uint64_t done)>;

struct MergeOutcome {
    bool ok = false;
    bool cancelled = false;
    std::string error;       // readable reason when not ok
    uint64_t durationMs = 0; // of the joined channel
    uint64_t frames = 0;     // video frames written
    uint64_t records = 0;    // data records written
};

// How many of `sources`, from the first, can be joined for channel `channelIndex`: a camera writes
// a drive as a run of recordings of one form, and the run ends at the first that is unreadable,
// lacks the channel or differs in picture size, frame rate or sound. `why` (when given) says why
// the run ended (empty when all can be joined). 0 when the first one cannot be merged itself.
size_t SameFormRun(const std::vector<std::filesystem::path>& sources, int channelIndex, std::string* why = nullptr);

// "%s_CH%d.qmv": the first recording's file name without its last four characters, and the channel
// number (1-based).
std::string MergedFileName(const std::string& firstFileName, int channel);

// Writes `target` in the camera form from channel `channelIndex` (0-based) of `sources`, in order.
// Every source must have that channel with the first one's picture size and frame rate, and the
// same kind of sound. Nothing is left at `target` unless the merge succeeded; an existing file
// there is replaced.
MergeOutcome MergeChannel(const std::filesystem::path& target,
                          const std::vector<std::filesystem::path>& sources, int channelIndex,
                          const MergeProgress& progress = {});
