// The program's one argument: a recording path, a folder, or a "qmv:" link naming a recording
// on a web server. Parsed here; acted on by MainWindow when its page has loaded and when a
// second start hands its argument over.
#pragma once

#include <QString>

#include <cstdint>

struct StartupArgument {
    enum Kind { None, Path, Link } kind = None;
    QString folder;   // Path: text before the last separator (empty when there is none)
    QString name;     // Path: text after it; Link: name to store the download under
    QString source;   // Link: address of the file
    int64_t size = 0; // Link: expected size in bytes; 0 when missing or not a number
};

StartupArgument parseStartupArgument(const QString& argument);
