#include "core/recordings/RecordingName.h"

// TODO(foundation): name rules.
int32_t GetRecordingKind(std::string_view) { return kKindNormal; }
uint64_t GetNameTimeKey(std::string_view) { return 0; }
std::string GetShortDate(std::string_view, const std::string& fallback) { return fallback; }
bool FormatStamp(uint64_t, int64_t, bool, std::string& out) { out.clear(); return true; }
bool StampFromName(std::string_view, std::string&, int64_t) { return false; }
