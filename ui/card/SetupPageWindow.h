// The camera setup window: the skin page "setting2.htm" shows and edits the camera's full setup
// record; this window moves the record to the page (populate) and back (the page's setting string),
// loads and saves ".cfg" files, and takes the record of the open recording. The main window runs it
// on "btnSetting" and routes the page's DoSetupHandler calls here while it runs.
#pragma once

#include "core/camera/SetupRecord.h"
#include "ui/page/PageWindow.h"

#include <QMessageBox>

#include <functional>
#include <optional>

class SetupPageWindow : public PageWindow {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 305;
    static constexpr int kWidth = 680;
    static constexpr int kHeight = 680;

    // The setup record of the recording open in the player, if it carried one.
    using RecordingSetupSource = std::function<std::optional<SetupRecordBytes>()>;
    // Asks for a ".cfg" file to open (save = false) or to write; empty when cancelled.
    using FileChooser = std::function<QString(bool save)>;
    using MessageShower = std::function<void(const QString& text, QMessageBox::Icon icon)>;

    explicit SetupPageWindow(QWidget* parent = nullptr);
    ~SetupPageWindow() override;

    void setRecordingSetupSource(RecordingSetupSource source) { m_recordingSetup = std::move(source); }
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setMessageShower(MessageShower shower) { m_showMessage = std::move(shower); }

    // DoSetupHandler(command, argument). The work runs after the page's call has returned.
    void handleCommand(const QString& name, const QString& value) override;

    const SetupRecord& record() const { return m_record; }

signals:
    // The page shows the record (after loading and after every command that changes the record).
    void populated();
    // A page command has been carried out.
    void commandDone(const QString& name);

private:
    void onPageLoaded(bool ok);
    void runCommand(const QString& name, const QString& value);
    void populate();
    QString chooseFile(bool save);
    void showMessage(const QString& text, QMessageBox::Icon icon);

    SetupRecord m_record{};
    RecordingSetupSource m_recordingSetup;
    FileChooser m_chooseFile;
    MessageShower m_showMessage;
};
