// The scrambled copy of a recording and the way back: a camera-form copy whose video payloads are
// scrambled with the program's keyed transform and which carries a digest of every byte. Used by
// the copy window, the converter (a scrambled copy converts into a clear AVI) and quillent-tool.
#pragma once

#include "core/container/RecordingConverter.h"

#include <filesystem>
#include <string>

struct CopyOutcome {
    int code = kConvertDone; // a ConvertResult: kConvertDone, or a failure code
    std::string error;       // readable reason of a failure
    bool ok() const { return code >= 0; }
};

enum class ClearForm {
    Camera,     // the camera's form (signatures and frame prefixes), as a card holds it
    StandardAvi // a standard AVI any player opens
};

// Writes a scrambled copy of `source` (camera form, unfinished, cut short or a standard AVI) to
// `target`: every stream and record is kept; sizes, counts and the index are repaired on the way.
// The copy is written under a temporary name and takes the target's name only when complete.
CopyOutcome ScrambledCopy(const std::filesystem::path& target, const std::filesystem::path& source,
                          const ConvertProgress& progress = {});

// The way back: checks the digest (a changed copy fails with kConvertDamaged and writes nothing),
// then writes the clear recording in the given form.
CopyOutcome UnscrambledCopy(const std::filesystem::path& target, const std::filesystem::path& source,
                            ClearForm form, const ConvertProgress& progress = {});

// Checks the digest of a scrambled copy: kConvertDone when every byte is as written,
// kConvertDamaged when not, kConvertNoSource when the file is no scrambled copy or cannot be read.
CopyOutcome VerifyScrambledCopy(const std::filesystem::path& path, const ConvertProgress& progress = {});

bool IsScrambledRecording(const std::filesystem::path& path);
