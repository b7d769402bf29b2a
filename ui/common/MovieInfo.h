// The five information texts of the open recording, shown by the information dialog.
#pragma once

#include <QString>

struct MovieInfo {
    QString company;
    QString vehicle;
    QString driver;
    QString firmwareVersion;
    QString serialNumber;
};
