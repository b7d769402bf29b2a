// The confirmation window of the card format: names the device (label, model, size), offers FAT32
// and, for cards over 32 GB, exFAT, and says that everything but the camera's quick settings will be
// erased. Takes the place of the system's format dialog; run by the format command.
#pragma once

#include "ui/card/CardFormatter.h"

#include <QDialog>

class QRadioButton;
class QPushButton;

class FormatDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr uint64_t kExfatAbove = 32'000'000'000ULL; // bytes; SDHC cards end at 32 GB

    explicit FormatDialog(const CardDevice& device, QWidget* parent = nullptr);

    // "vfat" or "exfat", as chosen.
    QString fileSystem() const;
    // The label the fresh file system gets: the card's own, cut to what the file system allows.
    QString label() const;
    QString deviceText() const { return m_deviceText; }
    QRadioButton* fat32Button() const { return m_fat32; }
    QRadioButton* exfatButton() const { return m_exfat; }
    QPushButton* formatButton() const { return m_format; }

    static QString sizeText(uint64_t bytes);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    CardDevice m_device;
    QString m_deviceText;
    QRadioButton* m_fat32 = nullptr;
    QRadioButton* m_exfat = nullptr;
    QPushButton* m_format = nullptr;
};
