// The map selection: which of the two map kinds the map panel shows (the world street map or the
// map of mainland China). OK stores the choice as "map" and reloads the panel's page.
#pragma once

#include <QDialog>

#include <functional>

class QRadioButton;

class CMapsettingDlg : public QDialog {
    Q_OBJECT
public:
    // `reload`: called with the chosen kind after it was stored (the panel's ReloadMapPage).
    explicit CMapsettingDlg(std::function<void(int kind)> reload, QWidget* parent = nullptr);

    int checkedKind() const;
    void accept() override;

private:
    std::function<void(int)> m_reload;
    QRadioButton* m_world = nullptr; // 1263
    QRadioButton* m_china = nullptr; // 1264
};
