// The search page window: lists the scanned recordings in the skin's "search.htm" and hands back the
// name the user picked. Run modally by the list's search icon and the "btnSearch" command; the script
// bridge routes the page's DoSearchHandler calls here.
#pragma once

#include "ui/page/PageWindow.h"

#include <string>

class RecordingScanner;

class SearchPageWindow : public PageWindow {
    Q_OBJECT
public:
    static constexpr int kHeaderId = 1239;
    static constexpr int kBrowserId = 1107;
    static constexpr int kWidth = 540;
    static constexpr int kHeight = 630;

    SearchPageWindow(const RecordingScanner& scanner, QWidget* parent = nullptr);
    ~SearchPageWindow() override;

    // The page's commands: "btnOkey" and "btnCancel" close; "btnFilename" keeps the name and closes.
    void handleCommand(const QString& name, const QString& value) override;
    // The chosen recording's name; empty when the page was closed without a choice.
    const std::string& chosenName() const { return m_chosen; }

signals:
    // Every entry has been handed to the page.
    void listFilled();

private:
    void fillPage(bool ok);

    const RecordingScanner& m_scanner;
    std::string m_chosen;
};

// Runs the search page over the scanner's entries; the chosen name, empty when none was chosen.
std::string RunSearchPage(QWidget* parent, const RecordingScanner& scanner);
