#include "core/tools/RecordingTrash.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

bool MoveFileToTrash(const std::string& path, std::string& error) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file)) {
        error = "the file no longer exists";
        return false;
    }
    QFile f(file);
    if (!f.moveToTrash()) {
        error = f.errorString().toStdString();
        if (error.empty() || error == "Unknown error")
            error = "the trash folder could not take the file";
        return false;
    }
    return true;
}

TrashResult MoveChosenToTrash(RecordingScanner& scanner, const TrashMover& mover) {
    TrashResult result;
    for (int i = 0; i < scanner.EntryCount();) {
        const RecordingEntry& e = *scanner.GetEntry(i);
        if (e.chosen != 1) {
            ++i;
            continue;
        }
        std::string error;
        if (mover(e.path, error)) {
            result.moved.push_back(e.name);
            scanner.RemoveEntry(i);
        } else {
            // The file is still on the card: it stays listed (and chosen) so list and card agree.
            result.failed.push_back({e.name, error});
            ++i;
        }
    }
    return result;
}
