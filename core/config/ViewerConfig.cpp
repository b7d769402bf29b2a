#include "core/config/ViewerConfig.h"

#include <memory>
#include <mutex>

namespace {
std::mutex g_instanceLock;
std::unique_ptr<ViewerConfig> g_instance;
} // namespace

ViewerConfig& ViewerConfig::Instance() {
    std::lock_guard lock(g_instanceLock);
    if (!g_instance)
        g_instance = std::make_unique<ViewerConfig>();
    return *g_instance;
}

void ViewerConfig::Release() {
    std::lock_guard lock(g_instanceLock);
    if (g_instance)
        g_instance->m_strings.clear();
    g_instance.reset();
}

bool ViewerConfig::GetDirEntry(int index, DirEntry& out) const {
    if (index < 0 || index >= GetDirCount())
        return false;
    out = m_dirs[index];
    return true;
}

bool ViewerConfig::GetExtension(int index, std::string& out) const {
    if (index < 0 || index >= GetExtensionCount())
        return false;
    out = m_extensions[index];
    return true;
}

// TODO(foundation): the loader, the language table and the lookups.
bool ViewerConfig::GetLString(int32_t, const std::string&, std::string&) const { return false; }
bool LoadViewerConfig(const std::string&, ViewerConfig&) { return false; }
bool LoadViewerConfigFile(const std::string&, ViewerConfig&) { return false; }
std::string LString(const std::string&) { return {}; }
std::string GetInstallerLanguage() { return "english"; }
