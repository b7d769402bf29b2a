// Asks for the ID and password of a protected recording; the opening of a recording runs it modally
// and compares the answer with the recording's own pair.
#pragma once

#include <QDialog>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget* parent = nullptr);

    // Filled when the user presses OK; empty after Cancel.
    const QString& enteredId() const { return m_enteredId; }
    const QString& enteredPassword() const { return m_enteredPassword; }

    QLineEdit* idEdit() const { return m_idEdit; }             // control 1240
    QLineEdit* passwordEdit() const { return m_passwordEdit; } // control 1241

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void applyLanguage();

    QGroupBox* m_group;        // 1295
    QLabel* m_idLabel;         // 1296
    QLabel* m_passwordLabel;   // 1297
    QLineEdit* m_idEdit;       // 1240
    QLineEdit* m_passwordEdit; // 1241
    QPushButton* m_ok;         // 1
    QPushButton* m_cancel;     // 2
    QString m_enteredId;
    QString m_enteredPassword;
};
