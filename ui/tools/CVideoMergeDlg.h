// The channel merge window: the target folder, the channels and the number of consecutive
// recordings to join from the chosen one, drawn with skinned controls; runs one merge per chosen
// channel on the tool job and reports progress with the designed message 0x510. Started by
// "btnMerge".
#pragma once

#include "ui/tools/ToolProgressWindow.h"

#include <QStringList>

#include <array>
#include <functional>

class CWBCButton;
class CWBCText;
class QCheckBox;
class QComboBox;
class QProgressBar;

class CVideoMergeDlg : public ToolProgressWindow {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 108;
    static constexpr int kMsgProgress = 0x510;
    static constexpr int kMaxFiles = 20;
    enum ControlId {
        kClose = 1240,
        kFolderText = 1241,
        kFolderButton = 1242,
        kChannel1 = 1243, // then 1245, 1247, 1249
        kCountCombo = 1251,
        kProgressBar = 1252,
        kStart = 1253,
        kChannelName1 = 1260, // to 1263
    };
    // Chooses a folder (title, initial folder); empty when cancelled.
    using FolderChooser = std::function<QString(const QString& title, const QString& initial)>;
    // Asks a yes/no question; true for yes.
    using Asker = std::function<bool(const QString& text)>;

    explicit CVideoMergeDlg(QWidget* parent = nullptr);

    // The recordings of the list in list order (full paths) and the index of the first one to
    // join. False when there is nothing to merge from there.
    bool Prepare(const QStringList& listPaths, int startIndex);

    void SetFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    void SetAsker(Asker asker) { m_ask = std::move(asker); }

    // Operations of the controls, public so tests drive them as the user does.
    void ChooseFolder();
    void ToggleChannel(int channel); // 1..4
    void SetMp4(bool on);
    void Start();
    void OnMergeMessage(int kind, int value); // 0x510

    QComboBox* CountCombo() const { return m_combo; }
    CWBCButton* StartButton() const { return m_start; }
    CWBCButton* CloseButton() const { return m_close; }
    CWBCButton* ChannelButton(int channel) const { return m_channelButtons[size_t(channel - 1)]; }
    QProgressBar* Bar() const { return m_bar; }
    int SelectedChannelCount() const { return m_selectedCount; }
    QString TargetPath(int channel) const; // for the folder chosen now
    int FileCount() const { return m_fileCount; }
    uint32_t Flags() const { return m_flags; }
    const QString& Outcome() const { return m_outcome; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void OnItemStarted(int index) override;
    void OnProgress(int index, int percent) override;
    void OnItemFinished(int index, bool ok, const QString& message) override;
    void OnJobFinished(int failures, bool cancelled) override;

private:
    void recount();
    void setBusy(bool busy);

    uint32_t m_flags = 3;           // bit 2 folder chosen, bits 16-19 channel 1-4 offered
    std::array<QString, 5> m_texts; // [0] folder, [1..4] output names
    CWBCButton* m_close = nullptr;
    CWBCButton* m_folderButton = nullptr;
    std::array<CWBCButton*, 4> m_channelButtons{};
    CWBCButton* m_start = nullptr;
    CWBCText* m_folderText = nullptr;
    std::array<CWBCText*, 4> m_channelNames{};
    QComboBox* m_combo = nullptr;
    QProgressBar* m_bar = nullptr;
    QCheckBox* m_mp4 = nullptr;
    QPixmap m_background;
    int m_selectedCount = 0;
    std::array<bool, 4> m_selected{};
    QString m_folder;
    QStringList m_list;
    QStringList m_sources;
    std::vector<int> m_jobChannels; // channel of each job item
    int m_fileCount = 0;
    int m_startIndex = -1;
    int m_step = 0;
    QStringList m_failures;
    QStringList m_notes; // channels joined only up to a change of form: where the run ended
    QString m_outcome;
    FolderChooser m_chooseFolder;
    Asker m_ask;
};
