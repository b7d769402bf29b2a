// Wires the data-out tools to the program: the snapshot, print, event-log and GPX commands
// ("btnPicture", "btnPrint", "btnLog", "btnGpx"), and the download of a "qmv:" link. Every window
// these commands open is opened after the page's call has returned (a modal window inside a bridge
// call would stall the web engine).
#pragma once

#include "ui/dataout/DataOutCommands.h"
#include "ui/dialogs/DownloadWindow.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

class Commands;
class PageWindow;
class PrintReportWindow;
class ReverseGeocoder;
struct AppContext;

class DataOutHookup : public QObject {
    Q_OBJECT
public:
    explicit DataOutHookup(AppContext& context);
    ~DataOutHookup() override;

    DataOutCommands& commands() { return *m_commands; }
    // A "qmv:" link: downloads the recording at `source` (`size` bytes expected, 0 unknown) to the
    // desktop under `name`, then lists and plays it.
    void downloadLink(const QString& source, const QString& name, int64_t size);
    DownloadWindow* downloadWindow() const { return m_download; }
    // Where links are stored; the desktop unless replaced (tests).
    void setDesktopFolder(std::function<QString()> folder) { m_desktopFolder = std::move(folder); }
    // The main window is closing for good: the print window closes with it.
    void closeWindows();

signals:
    // The download window has closed: the file is complete (and opened) or nothing was kept.
    void downloadEnded(bool ok, const QString& targetPath);
    // The download window opened (the page's calls go to it) or closed (null).
    void downloadWindowChanged(PageWindow* window);

private:
    void showPrintWindow(const DataOutCommands::PrintJob& job);
    void openDownloaded(const QString& path);

    AppContext& m_context;
    DataOutCommands* m_commands = nullptr;
    QPointer<DownloadWindow> m_download;
    QPointer<PrintReportWindow> m_print;
    ReverseGeocoder* m_geocoder = nullptr; // one for every report: its cache and pace last the run
    std::function<QString()> m_desktopFolder;
};

// Creates the data-out commands (a child of context.parent) and registers "btnPicture",
// "btnPrint", "btnLog" and "btnGpx".
void installDataOutCommands(Commands& commands, AppContext& context);
