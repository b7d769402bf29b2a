// The recording information dialog ("btnInfo"): company, vehicle, driver, firmware version and
// serial number of the open recording, and the viewer's version. Run modally by the main window.
#pragma once

#include "ui/common/MovieInfo.h"

#include <QDialog>

class QLabel;

class RecordingInfoDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kViewerVersion = "1.6.3.5";

    RecordingInfoDialog(const MovieInfo& info, bool korean, QWidget* parent = nullptr);

    // Captions of the groups and fields by control id (1251..1259) and values by id (1243..1248).
    QString caption(int controlId) const;
    QString value(int controlId) const;
};
