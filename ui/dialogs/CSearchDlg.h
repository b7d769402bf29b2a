// The search page window: lists the scanned recordings in "search.htm" and hands back the name the
// user picked. Run modally by the list's search icon and the "btnSearch" command.
#pragma once

#include <QWidget>
#include <string>

class RecordingScanner;

// Runs the search page over the scanner's entries; the chosen name, empty when none was chosen.
std::string RunSearchPage(QWidget* parent, const RecordingScanner& scanner);
