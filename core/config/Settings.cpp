#include "core/config/Settings.h"

// TODO(foundation): QSettings store.
std::string ReadSetting(const std::string&) { return {}; }
void WriteSetting(const std::string&, const std::string&) {}
std::string GetBasePath() { return {}; }
