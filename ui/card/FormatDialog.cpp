#include "ui/card/FormatDialog.h"

#include "core/config/ViewerConfig.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QString lstring(const char* id) {
    return QString::fromStdString(LString(id));
}
} // namespace

QString FormatDialog::sizeText(uint64_t bytes) {
    if (bytes >= 1'000'000'000ULL)
        return QStringLiteral("%1 GB").arg(static_cast<double>(bytes) / 1e9, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / 1e6, 0, 'f', 0);
}

FormatDialog::FormatDialog(const CardDevice& device, QWidget* parent) : QDialog(parent), m_device(device) {
    setObjectName(QStringLiteral("formatDlg"));
    setWindowTitle(lstring("FORMAT_LBL_TITLE"));
    setFixedWidth(460);
    setStyleSheet(QStringLiteral(
        "QDialog { background: #2c2c2c; } QLabel { color: #e6e6e6; font-size: 13px; }"
        "QLabel#title { font-size: 16px; font-weight: bold; color: white; }"
        "QLabel#device { background: #1e1e1e; border: 1px solid #4b4b4b; border-radius: 4px; padding: 8px; }"
        "QLabel#warning { color: #ffb400; }"
        "QRadioButton { color: #e6e6e6; font-size: 13px; } QRadioButton:disabled { color: #7a7a7a; }"
        "QPushButton { min-width: 90px; height: 30px; border-radius: 4px; border: 1px solid #4b4b4b;"
        " background: #3a3a3a; color: #e6e6e6; font-weight: bold; }"
        "QPushButton#format { background: #d83b3b; border-color: #b02a2a; color: white; }"));

    const QString name = device.label.isEmpty() ? device.device : device.label;
    m_deviceText = QStringLiteral("%1\n%2 · %3 · %4")
                       .arg(name, device.model.isEmpty() ? QStringLiteral("—") : device.model,
                            sizeText(device.sizeBytes), device.device);

    auto* title = new QLabel(lstring("FORMAT_LBL_TITLE"), this);
    title->setObjectName(QStringLiteral("title"));
    auto* deviceLabel = new QLabel(m_deviceText, this);
    deviceLabel->setObjectName(QStringLiteral("device"));
    m_fat32 = new QRadioButton(lstring("FORMAT_LBL_FAT32"), this);
    m_exfat = new QRadioButton(lstring("FORMAT_LBL_EXFAT"), this);
    m_fat32->setChecked(true);
    m_exfat->setEnabled(device.sizeBytes > kExfatAbove);
    auto* warning = new QLabel(lstring("FORMAT_LBL_WARNING"), this);
    warning->setObjectName(QStringLiteral("warning"));
    warning->setWordWrap(true);

    m_format = new QPushButton(lstring("FORMAT_BTN_FORMAT"), this);
    m_format->setObjectName(QStringLiteral("format"));
    auto* cancel = new QPushButton(lstring("FORMAT_BTN_CANCEL"), this);
    cancel->setDefault(true); // Enter does not erase a card
    connect(m_format, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_format);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 16);
    layout->setSpacing(10);
    layout->addWidget(title);
    layout->addWidget(deviceLabel);
    layout->addWidget(m_fat32);
    layout->addWidget(m_exfat);
    layout->addWidget(warning);
    layout->addLayout(buttons);
}

QString FormatDialog::fileSystem() const {
    return m_exfat->isChecked() && m_exfat->isEnabled() ? QStringLiteral("exfat") : QStringLiteral("vfat");
}

QString FormatDialog::label() const {
    // FAT labels hold 11 upper-case characters, exFAT labels 15 characters.
    QString label = m_device.label.isEmpty() ? QStringLiteral("CARD") : m_device.label;
    return fileSystem() == QLatin1String("vfat") ? label.toUpper().left(11) : label.left(15);
}

void FormatDialog::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    p.fillRect(QRect(0, 0, width(), 3), QColor(216, 59, 59));
    QDialog::paintEvent(e);
}
