// The channel merge window: the target folder, the channels and the number of consecutive
// recordings to join from the chosen one, drawn with skinned controls; runs one merge per chosen
// channel on the tool job and shows its progress from the job's signals. Started by "btnMerge".
#pragma once

#include "ui/tools/ToolProgressWindow.h"

#include <QStringList>

#include <array>
#include <functional>

class SkinButton;
class SkinText;
class QCheckBox;
class QComboBox;
class QProgressBar;

class MergeWindow : public ToolProgressWindow {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 108;
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

    explicit MergeWindow(QWidget* parent = nullptr);

    // The recordings of the list in list order (full paths) and the index of the first one to
    // join. False when there is nothing to merge from there.
    bool prepare(const QStringList& listPaths, int startIndex);

    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    void setAsker(Asker asker) { m_ask = std::move(asker); }

    // Operations of the controls, public so tests drive them as the user does.
    void chooseFolder();
    void toggleChannel(int channel); // 1..4
    void setMp4(bool on);
    void start();
    // The run's progress as the job's signals drive it (public so tests drive it too): the bar
    // appears at the start, each channel takes an equal share of it.
    void beginProgress();
    void onItemStarted(int index) override;
    void onProgress(int index, int percent) override;
    void onItemFinished(int index, bool ok, const QString& message) override;

    QComboBox* countCombo() const { return m_combo; }
    SkinButton* startButton() const { return m_start; }
    SkinButton* closeButton() const { return m_close; }
    SkinButton* channelButton(int channel) const { return m_channelButtons[size_t(channel - 1)]; }
    QProgressBar* bar() const { return m_bar; }
    int selectedChannelCount() const { return m_selectedCount; }
    QString targetPath(int channel) const; // for the folder chosen now
    int fileCount() const { return m_fileCount; }
    uint32_t flags() const { return m_flags; }
    const QString& outcome() const { return m_outcome; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void onJobFinished(int failures, bool cancelled) override;

private:
    void reportOutcome();
    void recount();
    void setBusy(bool busy);

    uint32_t m_flags = 3;           // bit 2 folder chosen, bits 16-19 channel 1-4 offered
    std::array<QString, 5> m_texts; // [0] folder, [1..4] output names
    SkinButton* m_close = nullptr;
    SkinButton* m_folderButton = nullptr;
    std::array<SkinButton*, 4> m_channelButtons{};
    SkinButton* m_start = nullptr;
    SkinText* m_folderText = nullptr;
    std::array<SkinText*, 4> m_channelNames{};
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
