// Wires the data-out tools to the main window: the snapshot, print, event-log and GPX commands,
// and the download of a "qmv:" link. Every window these commands open is opened after the page's
// call has returned (a modal window inside a bridge call would stall the web engine).
#pragma once

#include "ui/common/StartupArguments.h"
#include "ui/dialogs/DownloadWindow.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class MainWindow;
class DataOutCommands;
class ReverseGeocoder;

class DataOutHookup : public QObject {
    Q_OBJECT
public:
    explicit DataOutHookup(MainWindow& window);
    ~DataOutHookup() override;

    DataOutCommands& commands() { return *m_commands; }
    // A "qmv:" link: downloads the recording to the desktop, then lists and plays it.
    void downloadLink(const StartupArgument& link);
    DownloadWindow* downloadWindow() const { return m_download; }
    // Where links are stored; the desktop unless replaced (tests).
    void setDesktopFolder(std::function<QString()> folder) { m_desktopFolder = std::move(folder); }

signals:
    // The download window has closed: the file is complete (and opened) or nothing was kept.
    void downloadEnded(bool ok, const QString& targetPath);

private:
    void queue(void (DataOutHookup::*work)());
    void runSnapshot();
    void runPrint();
    void runEventLog();
    void runGpx();

    MainWindow& m_window;
    DataOutCommands* m_commands = nullptr;
    QPointer<DownloadWindow> m_download;
    ReverseGeocoder* m_geocoder = nullptr; // one for every report: its cache and pace last the run
    std::function<QString()> m_desktopFolder;
};
