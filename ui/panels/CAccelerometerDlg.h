// The second pop-up G-sensor window, shown and hidden together with CGSensorDlg by "btnGSensor";
// the same drawing and behaviour, its own close button (control 1269).
#pragma once

#include "ui/panels/CGSensorDlg.h"

class CAccelerometerDlg : public CGSensorDlg {
    Q_OBJECT
public:
    static constexpr int kCloseButtonId = 1269;
    explicit CAccelerometerDlg(QWidget* parent = nullptr) : CGSensorDlg(parent, kCloseButtonId) {}
};
