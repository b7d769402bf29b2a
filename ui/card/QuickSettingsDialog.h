// The quick settings window: edits the camera's "setup.ini" in the root of the selected card through
// one CWBCIniLoader. A skinned window whose background carries the labels (drawn here in the current
// language) and rows of toggle buttons, one radio group per setting, with Save and Cancel.
// Opened by the main window's quick-settings command.
#pragma once

#include "core/camera/CWBCIniLoader.h"

#include <QDialog>
#include <QMessageBox>
#include <QPixmap>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>

class SkinButton;

class QuickSettingsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 107;
    static constexpr int kWidth = 907;
    static constexpr int kHeight = 599;
    static constexpr int kSaveId = 1209;
    static constexpr int kCancelId = 1213;
    static constexpr int kButtonCount = 29;

    // One toggle button: the setting it sets and the value it stands for.
    struct Toggle {
        int id;
        const char* key;
        int value;
        int x, y;
        const char* tip;
    };
    static const std::vector<Toggle>& toggles();

    // `iniPath`: the card's "setup.ini" (see SettingsPath).
    explicit QuickSettingsDialog(std::filesystem::path iniPath, QWidget* parent = nullptr);
    ~QuickSettingsDialog() override;

    // The settings file of a card whose root folder is `root`.
    static std::filesystem::path settingsPath(const std::filesystem::path& root);

    using MessageShower = std::function<void(const QString& text, QMessageBox::Icon icon)>;
    void setMessageShower(MessageShower shower) { m_showMessage = std::move(shower); }

    SkinButton* button(int controlId) const;
    const CWBCIniLoader& loader() const { return m_loader; }
    // The background with its labels, as painted (drawn on first use).
    const QPixmap& background();

protected:
    void showEvent(QShowEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    void applyValue(const char* key, int value, bool store);
    void updateSaveButton();
    void onSave();
    void showMessage(const QString& text, QMessageBox::Icon icon);

    std::filesystem::path m_path;
    CWBCIniLoader m_loader;
    std::map<int, SkinButton*> m_buttons; // by control id
    QPixmap m_background;
    uint32_t m_flags = 3; // bit 0: the background must be drawn again; bit 1: the body drags the window
    MessageShower m_showMessage;
};
