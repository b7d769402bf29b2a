#include "ui/playback/StartupOpener.h"

#include "ui/playback/PlaybackClock.h"

#include <QFileInfo>

void StartupOpener::OpenSingleFile(const QString& folder, const QString& name) {
    const QString full = folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
    const std::filesystem::path path(QFileInfo(full).absoluteFilePath().toStdString());
    m_clock.ClearAndClose();
    m_host.listSingleFile(path);
    // Nothing is chosen yet, so play takes the listed file (the last row of the kind filter).
    m_host.playbackState().selectedIndex = -1;
    m_clock.PlayPause();
}
