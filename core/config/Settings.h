// Per-user stored settings (INI file through QSettings, organisation and application "Quillent"):
// "Installer Language", "path", "setting", "speedunit", "map". Used by windows and pages.
#pragma once

#include <string>

std::string ReadSetting(const std::string& name);                    // empty when missing
void WriteSetting(const std::string& name, const std::string& text); // failures not reported
std::string GetBasePath(); // "path" setting, else the program's folder (no trailing slash)
