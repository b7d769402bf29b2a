#include "core/config/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <memory>
#include <mutex>

namespace {

std::mutex g_pathLock;
bool g_pathOverridden = false;
QString g_defaultUserPath; // QSettings' own user-scope path, remembered before the first override

std::unique_ptr<QSettings> openStore() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillent"),
                                       QStringLiteral("Quillent"));
}

// A hand-edited INI value with an unquoted comma comes back as a list; the stored text had commas.
QString variantText(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QString qtKey(const std::string& name) {
    return QString::fromStdString(name);
}

} // namespace

void SetSettingsDirectoryForTesting(const std::string& directory) {
    std::lock_guard lock(g_pathLock);
    if (!g_pathOverridden) {
        // The default user path is what QSettings derives from XDG_CONFIG_HOME; keep it to restore.
        const QString file = openStore()->fileName();
        g_defaultUserPath = QFileInfo(file).dir().absolutePath();
        g_defaultUserPath = QFileInfo(g_defaultUserPath).dir().absolutePath(); // drop "Quillent"
    }
    if (directory.empty()) {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, g_defaultUserPath);
        g_pathOverridden = false;
        return;
    }
    QDir().mkpath(QString::fromStdString(directory));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(directory));
    g_pathOverridden = true;
}

std::string GetSettingsFilePath() {
    return openStore()->fileName().toStdString();
}

std::string ReadSetting(const std::string& name) {
    if (name.empty())
        return {};
    auto store = openStore();
    const QVariant value = store->value(qtKey(name));
    if (!value.isValid())
        return {};
    return variantText(value).toStdString();
}

void WriteSetting(const std::string& name, const std::string& text) {
    CRegistryEx key;
    if (key.Create(kProgramSettingsKey))
        key.WriteString(name, text);
}

std::string GetProgramDirectory() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath().toStdString();
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    const QString target = exe.symLinkTarget();
    if (target.isEmpty())
        return QDir::currentPath().toStdString();
    return QFileInfo(target).absolutePath().toStdString();
}

namespace {
std::string saveFolderKey(const std::string& kind) {
    return "folders/" + kind;
}

bool isRecordingKind(const std::string& kind) {
    return kind == "convert" || kind == "copy" || kind == "scrambled" || kind == "merge";
}

QString existingFolder(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}
} // namespace

std::string StartFolderFor(const std::string& kind) {
    const QString last = QString::fromStdString(ReadSetting(saveFolderKey(kind)));
    if (!last.isEmpty() && QDir::isAbsolutePath(last) && QFileInfo(last).isDir())
        return last.toStdString();
    QString folder;
    if (isRecordingKind(kind))
        folder = existingFolder(QStandardPaths::MoviesLocation);
    else if (kind == "snapshot")
        folder = existingFolder(QStandardPaths::PicturesLocation);
    if (folder.isEmpty())
        folder = existingFolder(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return folder.toStdString();
}

void RememberSaveFolder(const std::string& kind, const std::string& chosen, bool chosenIsFolder) {
    if (chosen.empty())
        return;
    const QFileInfo info(QString::fromStdString(chosen));
    const QString folder = chosenIsFolder ? info.absoluteFilePath() : info.absolutePath();
    WriteSetting(saveFolderKey(kind), QDir::cleanPath(folder).toStdString());
}

CRegistryEx::~CRegistryEx() {
    Close();
}

std::string CRegistryEx::groupName() const {
    if (m_keyPath == kProgramSettingsKey)
        return {};
    std::string group = m_keyPath;
    for (char& c : group)
        if (c == '\\')
            c = '/';
    while (!group.empty() && group.back() == '/')
        group.pop_back();
    while (!group.empty() && group.front() == '/')
        group.erase(group.begin());
    return group;
}

bool CRegistryEx::Create(const std::string& subKey) {
    Close();
    m_keyPath = subKey;
    // An INI group exists only while it holds a value: creating a key is remembering its path.
    m_open = true;
    m_lastError = kRegistryOk;
    return true;
}

bool CRegistryEx::Open(const std::string& subKey) {
    Close();
    m_keyPath = subKey;
    auto store = openStore();
    const std::string group = groupName();
    bool exists = false;
    if (group.empty()) {
        exists = !store->childKeys().isEmpty();
    } else {
        store->beginGroup(QString::fromStdString(group));
        exists = !store->allKeys().isEmpty();
        store->endGroup();
    }
    m_open = exists;
    m_lastError = exists ? kRegistryOk : kRegistryNotFound;
    return exists;
}

void CRegistryEx::Close() {
    m_open = false;
}

bool CRegistryEx::WriteString(const std::string& name, const std::string& text) {
    if (!m_open) {
        m_lastError = kRegistryNotOpen;
        return false;
    }
    const QString value = QString::fromStdString(text);
    if (value.size() >= kMaxTextLength) {
        m_lastError = kRegistryTooLong;
        return false;
    }
    auto store = openStore();
    const std::string group = groupName();
    const QString key = group.empty() ? qtKey(name) : QString::fromStdString(group + "/" + name);
    store->setValue(key, value);
    store->sync();
    if (store->status() != QSettings::NoError) {
        m_lastError = kRegistryAccessDenied;
        return false;
    }
    m_lastError = kRegistryOk;
    m_lastType = kTypeString;
    m_lastSize = static_cast<int32_t>(text.size() + 1);
    return true;
}

bool CRegistryEx::ReadString(const std::string& name, std::string& out) {
    if (!m_open) {
        m_lastError = kRegistryNotOpen;
        return false;
    }
    auto store = openStore();
    const std::string group = groupName();
    const QString key = group.empty() ? qtKey(name) : QString::fromStdString(group + "/" + name);
    const QVariant value = store->value(key);
    if (!value.isValid()) {
        m_lastError = kRegistryNotFound;
        return false;
    }
    out = variantText(value).toStdString();
    m_lastError = kRegistryOk;
    return true;
}
