#include "ui/playback/PasswordDialog.h"

#include "core/config/ViewerConfig.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PasswordDialog::PasswordDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("userinfo308"));
    setWindowTitle(QStringLiteral("ID / Passwd"));
    setModal(true);

    m_group = new QGroupBox(QStringLiteral("User Info"), this);
    m_group->setObjectName(QStringLiteral("1295"));
    m_idLabel = new QLabel(QStringLiteral("ID"), m_group);
    m_idLabel->setObjectName(QStringLiteral("1296"));
    m_passwordLabel = new QLabel(QStringLiteral("Passwd"), m_group);
    m_passwordLabel->setObjectName(QStringLiteral("1297"));
    m_idEdit = new QLineEdit(m_group);
    m_idEdit->setObjectName(QStringLiteral("1240"));
    m_passwordEdit = new QLineEdit(m_group);
    m_passwordEdit->setObjectName(QStringLiteral("1241"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_idLabel->setBuddy(m_idEdit);
    m_passwordLabel->setBuddy(m_passwordEdit);

    auto* grid = new QGridLayout(m_group);
    grid->addWidget(m_idLabel, 0, 0);
    grid->addWidget(m_idEdit, 0, 1);
    grid->addWidget(m_passwordLabel, 1, 0);
    grid->addWidget(m_passwordEdit, 1, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("1"));
    m_ok->setDefault(true);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_cancel->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_group);
    layout->addWidget(buttons);

    applyLanguage();
    m_idEdit->setFocus();
}

void PasswordDialog::applyLanguage() {
    // Qt keeps every text in Unicode, so unlike the captions no process locale switch is needed.
    if (GetInstallerLanguage() != "korean")
        return;
    m_group->setTitle(QStringLiteral("파일 보안 설정"));
    m_idLabel->setText(QStringLiteral("아이디"));
    m_passwordLabel->setText(QStringLiteral("패스워드"));
    m_ok->setText(QStringLiteral("확인"));
    m_cancel->setText(QStringLiteral("취소"));
}

void PasswordDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_idEdit->setFocus();
}

void PasswordDialog::accept() {
    m_enteredId = m_idEdit->text();
    m_enteredPassword = m_passwordEdit->text();
    QDialog::accept();
}
