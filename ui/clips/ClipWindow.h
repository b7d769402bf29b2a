// The evidence clip window: the range (the player's A-B points, an event mark with seconds around
// it, or times typed in, over the chosen recording and those that follow it in the list), the
// layout and height, the overlay items and their place, the target file, a preview of the clip's
// first picture with its overlay, and Start/Cancel with progress. The encoding runs on a worker;
// success is reported only once the written clip has been read back and its manifest written.
// Opened by the "btnClip" command (ClipCommands).
#pragma once

#include "ui/clips/ClipExport.h"

#include <QDialog>
#include <QMessageBox>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

// What the window starts from: the list's recordings and the player's state for the chosen one.
struct ClipWindowInput {
    QStringList listPaths;    // the list's recordings, in list order
    int startIndex = 0;       // the chosen recording: the time line starts with it
    bool startIsOpen = false; // the player has it open: its position, A-B points and marks apply
    int64_t positionMs = 0;
    bool loopSet = false; // A-B points of the open recording
    int64_t loopStartMs = 0;
    int64_t loopEndMs = 0;
    std::vector<std::pair<int64_t, char>> eventMarks; // time in the recording, event character
    int mainChannel = 0;                              // 0-based, the player's main cell
    bool mainLarge = false;                           // the player shows it large
    int speedUnit = 1;                                // 1 km/h, 2 mph, 3 knots
};

class ClipWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxRecordings = 5;

    explicit ClipWindow(ClipWindowInput input, QWidget* parent = nullptr);
    ~ClipWindow() override;

    // Replaceable for tests: the save-file chooser, the replace question and the outcome message.
    using FileChooser = std::function<QString(const QString& proposed)>;
    using Asker = std::function<bool(const QString& question)>;
    using Reporter = std::function<void(QMessageBox::Icon, const QString&)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setAsker(Asker ask) { m_ask = std::move(ask); }
    void setReporter(Reporter report) { m_report = std::move(report); }

    // The request the controls describe now; nullopt (with *why) when they describe no clip.
    std::optional<ClipRequest> request(QString* why = nullptr) const;
    bool isWorking() const { return m_working; }
    const QImage& previewPicture() const { return m_previewShown; }

    void start();
    void cancel();

    static QString text(const char* id);

signals:
    void previewReady();
    void finishedClip(int kind); // a ClipOutcome::Kind

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QWidget* buildRange();
    void connectRange();
    QWidget* buildPicture();
    QWidget* buildOverlay();
    QWidget* buildTarget();
    void loadSources();
    void chooseTarget();
    void refresh();            // range text and the Start button
    void schedulePreview();    // the picture changes: decode again after a pause
    void startPreview();
    void showPreview();        // the overlay changes: draw again over the same picture
    void onProgress(int percent);
    void onFinished(const ClipOutcome& outcome);
    void report(QMessageBox::Icon icon, const QString& message);
    void setWorking(bool working);
    std::optional<ClipRange> currentRange(QString* why) const;
    std::vector<int> chosenChannels() const;
    ClipOptions chosenOptions() const;

    ClipWindowInput m_input;
    std::vector<ClipSource> m_sources;
    int m_videoChannels = 0;
    int m_frameRate = 30;
    QString m_sourceError;

    QRadioButton* m_rangeLoop = nullptr;
    QRadioButton* m_rangeMark = nullptr;
    QRadioButton* m_rangeTimes = nullptr;
    QComboBox* m_markChoice = nullptr;
    QSpinBox* m_markSeconds = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QSpinBox* m_recordingCount = nullptr;
    QLabel* m_rangeText = nullptr;
    QComboBox* m_layout = nullptr;
    QComboBox* m_height = nullptr;
    std::vector<QCheckBox*> m_channels;
    std::vector<std::pair<QCheckBox*, unsigned>> m_overlayItems;
    QComboBox* m_place = nullptr;
    QLineEdit* m_target = nullptr;
    QPushButton* m_browse = nullptr;
    QLabel* m_preview = nullptr;
    QLabel* m_previewNote = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_close = nullptr;
    QTimer* m_previewTimer = nullptr;

    // The preview: the composed first picture and the records to draw its overlay from.
    std::thread m_previewWorker;
    bool m_previewAgain = false;
    QImage m_previewRaw;
    std::shared_ptr<const ClipTrack> m_previewTrack;
    std::optional<ClipRequest> m_previewRequest;
    QImage m_previewShown;

    std::thread m_worker; // may still wait for a cancelled run's pipelines after m_working ends
    bool m_working = false;
    std::atomic<bool> m_cancelled{false};
    int m_lastPercent = -1;
    FileChooser m_chooseFile;
    Asker m_ask;
    Reporter m_report;
};
