// "export-log": the camera's event log (".bin") as CSV, as the player's export command writes it.
#include "ToolCommand.h"
#include "core/tools/EventLog.h"

#include <cstdio>

int RunExportLog(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return UsageError("export-log", "a log file and a CSV file are needed");
    EventLogExportResult result = ExportEventLog(args[0], args[1]);
    if (!result.ok) {
        std::fprintf(stderr, "quillent-tool export-log: %s\n", result.error.c_str());
        return kExitFailed;
    }
    std::printf("%s: %d event(s) written\n", args[1].c_str(), result.lines);
    if (!result.note.empty()) {
        std::fprintf(stderr, "quillent-tool export-log: warning: %s\n", result.note.c_str());
        // A cut record is damage a script must be able to tell; erased space is how logs end.
        if (result.cutRecordBytes > 0)
            return kExitRepaired;
    }
    return kExitOk;
}
