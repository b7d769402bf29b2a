#include "ToolCommand.h"

namespace {

int snapshot(const std::vector<std::string>& args) {
    return RunMediaCommand("snapshot", args);
}
int merge(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--mp4")
            return RunMediaCommand("merge", args);
    return RunMerge(args);
}
int clip(const std::vector<std::string>& args) {
    return RunMediaCommand("clip", args);
}

} // namespace

const std::vector<ToolCommand>& ToolCommands() {
    static const std::vector<ToolCommand> commands = {
        {"convert", "convert recordings to AVI files, or copy them unchanged",
         "convert [--copy] --to <folder> <recording>...\n"
         "  Writes <folder>/<name>.avi for each recording (camera form repaired into a standard AVI);\n"
         "  with --copy, copies each recording unchanged to <folder>/<name>. Exits 3 (with a warning)\n"
         "  when damaged parts of a recording were left out, 1 when a recording could not be done.",
         RunConvert},
        {"records", "list the data records of a recording with their time stamps",
         "records <recording>\n"
         "  One line per record in file order: time stamp (mm:ss.mmm), type and content.",
         RunRecords},
        {"info", "show the streams, channels and duration of a recording",
         "info <recording>...\n"
         "  Container form, state, duration, video channels, audio, data records and the\n"
         "  recording's information texts and protection.",
         RunInfo},
        {"export-log", "export the camera's event log as CSV",
         "export-log <log.bin> <out.csv>\n"
         "  One CR LF line per event, up to where the camera's ring buffer wraps or erased space\n"
         "  begins. A last record cut short is left out, with a warning, and the exit code is 3.",
         RunExportLog},
        {"gpx", "write the GPS track of a recording as GPX 1.1",
         "gpx <recording> <out.gpx>\n"
         "  One track point per valid GPS sentence, with UTC time, speed and course.",
         RunGpx},
        {"snapshot", "save one channel's picture at a position as JPEG",
         "snapshot <recording> --at <ms> [--channel N] <out.jpg>\n"
         "  Opens the recording, seeks to <ms> and saves the full-size picture of channel N\n"
         "  (1 to 4, default 1) as a JPEG file.",
         snapshot},
        {"merge", "join consecutive recordings into one recording per channel",
         "merge --to <folder> [--channel N]... [--mp4] [--force] <recording>...\n"
         "  Writes <folder>/<first name>_CH<N>.qmv for each channel N (default: every channel of the\n"
         "  first recording) from up to 20 consecutive recordings, in the order given; with --mp4\n"
         "  also <first name>_CH<N>.mp4 (H.264 and AAC, not re-encoded). Existing files are kept\n"
         "  unless --force is given.",
         merge},
        {"copy", "make a scrambled copy of a recording, copy one back, or check one",
         "copy --scrambled <recording> <copy> | copy --clear [--avi] <copy> <recording> |\n"
         "     copy --verify <copy>...  [--force]\n"
         "  --scrambled writes a copy that only Quillent plays; --clear checks the copy's digest and\n"
         "  writes the recording back in the camera's form (--avi: as a standard AVI); --verify\n"
         "  checks that no byte of a copy has changed. Existing files are kept unless --force.",
         RunCopy},
        {"trips", "list the drives on a card with distances and driving events",
         "trips <card or folder> [--gpx <out.gpx>] [--csv <out.csv>] [--json] [--index <file>] [--gap <s>]\n"
         "  Brings the trips index up to date (only new or changed recordings are read, their data\n"
         "  records only) and prints one line per trip (recordings less than the trip gap apart, 180 s\n"
         "  unless set) and one per driving event (hard braking, acceleration, cornering, speeding).\n"
         "  --gpx writes a track per trip with the events as waypoints, --csv one row per trip and per\n"
         "  event; --json prints the trips as JSON instead of text. --index uses that SQLite file\n"
         "  instead of the index the settings name.",
         RunTrips},
        {"clip", "cut a range of recordings into one MP4 with time, speed and place drawn in",
         "clip <recording>... (--from <T> --to <T> | --around <T> [--seconds N]) [--channels 1,2]\n"
         "     [--layout player|one|side|grid|pip] [--overlay time,speed,position,gsensor,map|none]\n"
         "     [--overlay-place bottom|top] [--height 720|1080] [--unit kmh|mph|knots] [--force]\n"
         "     -o <clip.mp4>\n"
         "  The recordings are laid end to end in the order given; times (seconds or m:ss.mmm) count\n"
         "  from the start of the first. Writes the clip (H.264 and AAC) and <clip>.json beside it:\n"
         "  the recordings' and the clip's SHA-256, the range and the camera's settings. Options not\n"
         "  given are the ones stored by the clip window. Exits 3 (with a warning) when a damaged\n"
         "  recording ends the clip early.",
         clip},
    };
    return commands;
}
