// The skinned drive dialog: offers the drive list (mounted card and data volumes, then the folder
// entry) in a combo box; OK hands the chosen index to the recording scan. Run by the open command.
#pragma once

#include <QDialog>
#include <memory>

class SkinButton;
class QComboBox;
class RecordingScanner;
class VolumeSource;

class DriveChoiceDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 103;
    static constexpr int kComboId = 1024;
    static constexpr int kCloseId = 1181;

    explicit DriveChoiceDialog(QWidget* parent = nullptr);
    ~DriveChoiceDialog() override;

    // Not owned. With a scanner set, opening rebuilds its drive list and fills the combo.
    void setScanner(RecordingScanner* scanner) { m_scanner = scanner; }
    // Where the volumes come from (tests give a fake mount table); the system's by default.
    void setVolumeSource(std::shared_ptr<const VolumeSource> source) { m_source = std::move(source); }
    int selectedIndex() const { return m_selected; }

    QComboBox* combo() const { return m_combo; }
    SkinButton* okButton() const { return m_ok; }
    SkinButton* closeButton() const { return m_close; }

    // Fills the combo from the scanner (done when the dialog is shown; public for tests).
    void populate();

protected:
    void showEvent(QShowEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    uint32_t m_windowFlags = 3; // bit 1: a left click anywhere drags the window
    QComboBox* m_combo = nullptr;
    SkinButton* m_ok = nullptr;
    SkinButton* m_close = nullptr;
    RecordingScanner* m_scanner = nullptr;
    std::shared_ptr<const VolumeSource> m_source;
    QPixmap m_background;
    bool m_populated = false;
    int m_selected = -1;
};
