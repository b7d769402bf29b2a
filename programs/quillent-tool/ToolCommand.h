// The command table of quillent-tool. A command is one file with a run function and one line in
// CommandTable.cpp; main() does the dispatch, --help and the exit codes.
//
// The commands that decode or draw pictures (snapshot, merge --mp4, clip) need GStreamer and Qt GUI,
// whose libraries take longer to load than a conversion of a one-minute recording takes. They live
// in quillent-tool-media beside quillent-tool, which hands such a command over to it (the same
// arguments, standard streams and exit code), so the file commands start with Qt Core alone.
#pragma once

#include <string>
#include <vector>

// Exit codes shared by every command.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;   // a file could not be read, converted or written
constexpr int kExitUsage = 2;    // wrong arguments
constexpr int kExitRepaired = 3; // done, but damaged parts of an input were left out or an input was
                                 // found changed (a warning says which)

struct ToolCommand {
    const char* name;
    const char* summary; // one line for the command list
    const char* usage;   // arguments and options, shown by "<command> --help" and on usage errors
    int (*run)(const std::vector<std::string>& args);
};

const std::vector<ToolCommand>& ToolCommands();

// Prints "quillent-tool <name>: <text>" to standard error and returns kExitUsage.
int UsageError(const char* command, const std::string& text);

int RunConvert(const std::vector<std::string>& args);
int RunRecords(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunExportLog(const std::vector<std::string>& args);
int RunGpx(const std::vector<std::string>& args);
int RunCopy(const std::vector<std::string>& args);
int RunTrips(const std::vector<std::string>& args);

// merge runs in both; with --mp4 quillent-tool hands it over.
int RunMerge(const std::vector<std::string>& args);

// A picture command: run here in quillent-tool-media, handed over to it by quillent-tool.
int RunMediaCommand(const char* name, const std::vector<std::string>& args);
int RunSnapshot(const std::vector<std::string>& args);
int RunClip(const std::vector<std::string>& args);
// The MP4 of a merged channel (quillent-tool-media only). False with *error set on failure.
bool ExportMergedMp4(const std::string& merged, const std::string& mp4, std::string* error);
