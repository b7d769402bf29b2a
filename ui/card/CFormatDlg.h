// The confirmation window of the card format: names the device (label, model, size), offers FAT32
// and, for cards over 32 GB, exFAT, and says that everything but the camera's quick settings will be
// erased. Takes the place of the system's format dialog; run by the format command.
#pragma once

#include "ui/card/CardFormatter.h"

#include <QDialog>

class QRadioButton;
class QPushButton;

class CFormatDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr uint64_t kExfatAbove = 32'000'000'000ULL; // bytes; SDHC cards end at 32 GB

    explicit CFormatDlg(const CardDevice& device, QWidget* parent = nullptr);

    // "vfat" or "exfat", as chosen.
    QString FileSystem() const;
    // The label the fresh file system gets: the card's own, cut to what the file system allows.
    QString Label() const;
    QString DeviceText() const { return m_deviceText; }
    QRadioButton* Fat32Button() const { return m_fat32; }
    QRadioButton* ExfatButton() const { return m_exfat; }
    QPushButton* FormatButton() const { return m_format; }

    static QString SizeText(uint64_t bytes);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    CardDevice m_device;
    QString m_deviceText;
    QRadioButton* m_fat32 = nullptr;
    QRadioButton* m_exfat = nullptr;
    QPushButton* m_format = nullptr;
};
