#include "ui/playback/StartupOpener.h"

#include "ui/playback/PlaybackState.h"
#include "ui/playback/Player.h"
#include "ui/playback/RecordingList.h"

#include <QFileInfo>

void StartupOpener::openSingleFile(const QString& folder, const QString& name) {
    const QString full = folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
    const std::filesystem::path path(QFileInfo(full).absoluteFilePath().toStdString());
    m_clock.clearAndClose();
    m_list.listSingleFile(path);
    // Nothing is chosen yet, so play takes the listed file (the last row of the kind filter).
    m_state.selectedIndex = -1;
    m_clock.playPause();
}
