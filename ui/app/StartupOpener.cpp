#include "ui/app/StartupOpener.h"

#include "core/config/ViewerConfig.h"
#include "ui/app/PlaybackClock.h"

#include <QDir>
#include <QFileInfo>

#include <system_error>

bool StartupOpener::ProcessStartupOpener(const QStringList& arguments) {
    if (arguments.size() < 2)
        return false;
    const QString argument = arguments.at(1);
    // The link form (case-sensitive prefix) belongs to the download window.
    if (argument.startsWith(QLatin1String("qmv:")) || argument.isEmpty())
        return false;
    return OpenPath(argument);
}

bool StartupOpener::OpenPath(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        m_clock.ClearAndClose();
        if (!m_host.listFolder(
                std::filesystem::path(QDir::cleanPath(info.absoluteFilePath()).toStdString()))) {
            m_host.showMessage(QString::fromStdString(LString("MAIN_MSG_NO_FILES")), MessageIcon::Error);
            return true;
        }
        // A card or folder named on the command line plays from its first recording on; the end
        // of each recording moves on to the next one.
        ViewerState& state = m_host.playbackState();
        state.selectedIndex = m_clock.findRow(0, 1);
        if (state.selectedIndex >= 0)
            m_clock.PlayPause();
        return true;
    }
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : path.left(slash);
    const QString name = slash < 0 ? path : path.mid(slash + 1);
    OpenSingleFile(folder, name, 0);
    return true;
}

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
