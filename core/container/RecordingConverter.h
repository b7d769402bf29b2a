// Conversion of a recording into a standard AVI file (signatures, H.264 start codes and missing
// sizes repaired), the same walk without conversion, and the plain copy of recordings to a folder.
// Used by the conversion/copy worker of the main window and by the command-line tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

// Results of ConvertRecording and CopyRecording.
enum ConvertResult : int {
    kConvertDone = 0,          // done; the source had no index chunk
    kConvertDoneWithIndex = 1, // done; an "idx1" chunk was seen
    kConvertRepaired = 2,      // done, but damaged parts (a cut chunk, a list without its type, a
                               // chunk size, an index that does not match the data) were left out
                               // or set right
    kConvertNoSource = -1,     // the source cannot be opened
    kConvertTooShort = -2,     // the source is shorter than 12 bytes
    kConvertWriteFailed = -3,  // a read or write failed (disk full, card removed); output removed
    kConvertNoOutput =
        -4, // the output cannot be created (or would replace the source), or a list type could not be read
    kConvertNoMemory = -5,      // kept for callers; block copying needs no header-sized buffer
    kConvertShortHeader = -6,   // no recording: no header list or movie data, or the header is cut
    kConvertCancelled = -7,     // the progress callback asked to stop; output removed
    kConvertIsMp4 = -8,         // an MP4 recording: it plays as it is and is copied, not converted
    kConvertSourceChanged = -9, // the source became shorter while it was read (card pulled)
    kConvertDamaged = -10,      // a scrambled copy whose digest does not match: it was changed
};

// Files are copied by the kernel (copy_file_range) where the file systems allow it, else through a
// buffer. Tests switch the kernel copy off to check both give the same bytes.
void UseKernelCopy(bool enabled);

// Readable text of a result, for messages and the command-line tool.
const char* ConvertResultText(int result);

// Called after every block: bytes of the source handled so far and the source's size. Return false
// to cancel. May be empty.
using ConvertProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Output path: "<folder>/<file name>.avi" (the source's extension stays in front) when toAvi,
// else "<folder>/<file name>".
std::filesystem::path ConvertedPath(const std::filesystem::path& targetFolder,
                                    const std::filesystem::path& sourcePath, bool toAvi);

// Outputs are written under a temporary name in the target folder and renamed over the target only
// on success: a failed or cancelled run leaves an earlier output as it was and no partial file.
// `why`, when given, receives a readable reason for a failure (with the path and the system's
// error) or for kConvertRepaired.
//
// Walks the source chunk by chunk into the output. toAvi: "RIFF"/"AVI " signatures and the start
// code 00 00 00 01 at the front of every video frame of the movi list. Always: a RIFF size of 0
// becomes the source size - 8; a chunk size of 0 runs to the end of the file; the movi size is
// set right when an index follows. A truncated last chunk keeps the complete frames of a movi
// list (other chunks are dropped) and the RIFF size is set to the output's length. A zero size runs
// to the end only in an unfinished file (RIFF size 0) or for the movi list; elsewhere the chunk is
// empty. A chunk size one byte short (a non-zero pad byte) or grown over the chunks after it is
// set right. An index that does not list the chunks of the movi list is replaced by one that
// does (kConvertRepaired). What is not a recording (no header list or movie data) is refused
// before an output is created.
// Each call keeps its own state; calls may run in parallel on different files.
int ConvertRecording(const std::filesystem::path& targetFolder, const std::filesystem::path& sourcePath,
                     bool toAvi, const ConvertProgress& progress = {}, std::string* why = nullptr);

// Copies the recording unchanged to "<folder>/<file name>", replacing an existing file. Returns
// kConvertDone or one of the failure codes above.
int CopyRecording(const std::filesystem::path& targetFolder, const std::filesystem::path& sourcePath,
                  const ConvertProgress& progress = {}, std::string* why = nullptr);
