// The skinned drive dialog: offers the drive list (mounted card and data volumes, then the folder
// entry) in a combo box; OK hands the chosen index to the recording scan. Run by the open command.
#pragma once

#include <QDialog>
#include <memory>

class CWBCButton;
class QComboBox;
class RecordingScanner;
class VolumeSource;

class CSelectDriveDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 103;
    static constexpr int kComboId = 1024;
    static constexpr int kCloseId = 1181;

    explicit CSelectDriveDlg(QWidget* parent = nullptr);
    ~CSelectDriveDlg() override;

    // Not owned. With a scanner set, opening rebuilds its drive list and fills the combo.
    void SetScanner(RecordingScanner* scanner) { m_scanner = scanner; }
    // Where the volumes come from (tests give a fake mount table); the system's by default.
    void SetVolumeSource(std::shared_ptr<const VolumeSource> source) { m_source = std::move(source); }
    int SelectedIndex() const { return m_selected; }

    QComboBox* Combo() const { return m_combo; }
    CWBCButton* OkButton() const { return m_ok; }
    CWBCButton* CloseButton() const { return m_close; }

    // Fills the combo from the scanner (done when the dialog is shown; public for tests).
    void Populate();

protected:
    void showEvent(QShowEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    uint32_t m_windowFlags = 3; // bit 1: a left click anywhere drags the window
    QComboBox* m_combo = nullptr;
    CWBCButton* m_ok = nullptr;
    CWBCButton* m_close = nullptr;
    RecordingScanner* m_scanner = nullptr;
    std::shared_ptr<const VolumeSource> m_source;
    QPixmap m_background;
    bool m_populated = false;
    int m_selected = -1;
};
