#include "ui/dialogs/CMapsettingDlg.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QString text(const char* id, const char* fallback) {
    const std::string t = LString(id);
    return QString::fromStdString(t.empty() ? std::string(fallback) : t);
}
} // namespace

CMapsettingDlg::CMapsettingDlg(std::function<void(int)> reload, QWidget* parent)
    : QDialog(parent), m_reload(std::move(reload)) {
    setObjectName(QStringLiteral("mapSettingDialog"));
    setWindowTitle(text("MAP_SELECT_TITLE", "Map Selection"));
    m_world = new QRadioButton(text("MAP_KIND_WORLD", "World street map"), this);
    m_china = new QRadioButton(text("MAP_KIND_CHINA", "Map of mainland China"), this);
    m_world->setObjectName(QStringLiteral("mapKind1"));
    m_china->setObjectName(QStringLiteral("mapKind2"));
    const std::string stored = ReadSetting("map");
    (!stored.empty() && std::atoi(stored.c_str()) == 2 ? m_china : m_world)->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(text("MAP_SELECT_OK", "OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(text("MAP_SELECT_CANCEL", "Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_world);
    layout->addWidget(m_china);
    layout->addWidget(buttons);
}

int CMapsettingDlg::checkedKind() const {
    return m_world->isChecked() ? 1 : 2;
}

void CMapsettingDlg::accept() {
    const int kind = checkedKind();
    WriteSetting("map", std::to_string(kind));
    if (m_reload)
        m_reload(kind);
    QDialog::accept();
}
