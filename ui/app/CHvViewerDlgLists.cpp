// CHvViewerDlg: the card or folder whose recordings are listed, the kind tabs and the map
// display. The recording list and its scan arrive with the list work, which replaces this file.
#include "ui/app/CHvViewerDlg.h"

#include <QDebug>

bool CHvViewerDlg::HasScanSource() const {
    return false;
}

void CHvViewerDlg::OpenSourceFolder(const QString& folder) {
    qInfo() << "list" << folder << ": the recording list is not available in this build";
}

void CHvViewerDlg::KindFilterChanged() {}

void CHvViewerDlg::ShowMapPanel(bool show) {
    // The map panel takes its place only beside a 3-channel recording when docked; with two
    // channels it sits in the free video cell and is always shown.
    if (m_playback->GetChannelCount() != 3 || !IsDocked(PanelSlot::Map))
        return;
    Panel(PanelSlot::Map)->setVisible(show);
    LayoutPanels();
}

void CHvViewerDlg::SetSpeedUnit(int unit) {
    Q_UNUSED(unit);
}
