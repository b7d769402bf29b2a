#include "ui/dialogs/DriveChoiceDialog.h"

#include "core/config/ViewerConfig.h"
#include "core/recordings/RecordingScanner.h"
#include "core/tools/DriveList.h"
#include "ui/widgets/SkinButton.h"
#include "ui/widgets/SkinBitmaps.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace {
constexpr int kBackgroundEnglish = 131;
constexpr int kBackgroundKorean = 339;

QString comboText(const DriveEntry& d) {
    QString text = QString::fromStdString(d.name);
    if (d.kind == kDriveSource && !d.label.empty())
        text += QStringLiteral("  (%1)").arg(QString::fromStdString(d.label));
    return text;
}
} // namespace

DriveChoiceDialog::DriveChoiceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("selectDriveDlg"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(455, 181);
    const bool korean = GetInstallerLanguage() == "korean";
    setWindowTitle(korean ? QStringLiteral("드라이브 선택") : QStringLiteral("Select Drive"));
    m_background =
        LoadSkinBitmap(korean ? kBackgroundKorean : kBackgroundEnglish); // also registers the bitmaps

    m_close = new SkinButton(this);
    m_close->setObjectName(QStringLiteral("btnClose"));
    m_close->setBitmaps(145, 147, 146);
    m_close->setGeometry(382, 8, 65, 28);
    m_close->setToolTip(QString::fromStdString(LString("SELDRV_BTIP_CLOSE")));
    connect(m_close, &QAbstractButton::clicked, this, &QDialog::reject);

    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("driveCombo"));
    // The dialog's width less its margins: "Browse for a folder on this computer" and a card's
    // root with its label are read whole, not cut off at the arrow.
    m_combo->setGeometry(20, 90, 415, 30);
    m_combo->setStyleSheet(QStringLiteral(
        "QComboBox { background: #1e1e1e; color: white; border: 1px solid #4b4b4b; border-radius: 3px;"
        " padding-left: 8px; font-size: 14px; }"
        "QComboBox:focus { border-color: #00a8ff; }"
        "QComboBox::drop-down { width: 24px; border: none; }"
        "QComboBox::down-arrow { image: url(:/controls/combo-arrow.png); width: 10px; height: 6px; }"
        "QComboBox QAbstractItemView { background: #262626; color: white;"
        " selection-background-color: #00a8ff; border: 1px solid #4b4b4b; }"));

    m_ok = new SkinButton(this);
    m_ok->setObjectName(QStringLiteral("btnOk"));
    m_ok->setBitmaps(380, 382, 381, 383);
    m_ok->setGeometry(143, 130, 158, 36);
    m_ok->setToolTip(QString::fromStdString(LString("SELDRV_BTIP_OK")));
    connect(m_ok, &QAbstractButton::clicked, this, [this] {
        m_selected = m_combo->currentIndex();
        accept();
    });
}

DriveChoiceDialog::~DriveChoiceDialog() = default;

void DriveChoiceDialog::populate() {
    m_populated = true;
    m_combo->clear();
    if (!m_scanner)
        return;
    if (m_source)
        BuildDriveList(*m_scanner, *m_source);
    else
        BuildDriveList(*m_scanner);
    for (const auto& d : m_scanner->Drives())
        m_combo->addItem(comboText(d));
    m_combo->setCurrentIndex(0);
}

void DriveChoiceDialog::showEvent(QShowEvent* e) {
    if (!m_populated)
        populate();
    // Centred on the owner, or on the screen without one.
    const QRect area = parentWidget() ? parentWidget()->window()->frameGeometry()
                                      : (screen() ? screen()->availableGeometry() : QRect(0, 0, 455, 181));
    move(area.center() - rect().center());
    QDialog::showEvent(e);
}

void DriveChoiceDialog::keyPressEvent(QKeyEvent* e) {
    // Enter chooses, as the OK button does; Esc closes (base class).
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        m_ok->click();
        return;
    }
    QDialog::keyPressEvent(e);
}

void DriveChoiceDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_background.isNull())
        p.fillRect(rect(), QColor(44, 44, 44));
    else
        p.drawPixmap(rect(), m_background);
}

void DriveChoiceDialog::mousePressEvent(QMouseEvent* e) {
    if ((m_windowFlags & 2) && e->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
    QDialog::mousePressEvent(e);
}
