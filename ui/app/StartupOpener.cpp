#include "ui/app/StartupOpener.h"

#include "ui/app/PlaybackClock.h"

#include <QFileInfo>

#include <system_error>

QString StartupOpener::SizeText(const std::filesystem::path& path) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    return QStringLiteral("%1M").arg(error ? 0 : static_cast<qint64>(bytes / 1000000));
}

void StartupOpener::OpenSingleFile(const QString& folder, const QString& name, int64_t sizeBytes) {
    const QString full = folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
    const std::filesystem::path path(QFileInfo(full).absoluteFilePath().toStdString());
    m_clock.ClearAndClose();
    m_host.listSingleFile(path, sizeBytes / 1024, SizeText(path));
    // Nothing is chosen yet, so play takes the listed file (the last row of the kind filter).
    m_host.playbackState().selectedIndex = -1;
    m_clock.PlayPause();
}
