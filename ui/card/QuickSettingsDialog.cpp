#include "ui/card/QuickSettingsDialog.h"

#include "core/config/ViewerConfig.h"
#include "ui/widgets/SkinButton.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {
QString lstring(const char* id) {
    return QString::fromStdString(LString(id));
}

constexpr const char* kCutoff = "VOLTAGE_CUTOFF_LV";

// A label of the background: the text of a language ID at a place.
struct Label {
    const char* id;
    int x, y, w;
    int px;
    bool title;
};

// Captions beside the toggles and the group titles above each row.
const Label kLabels[] = {
    {"SETTING_LBL_GSENSOR", 60, 72, 380, 17, true},       {"SETTING_LBL_LCD", 490, 72, 380, 17, true},
    {"SETTING_LBL_HIGH", 96, 110, 100, 15, false},        {"SETTING_LBL_MEDIUM", 226, 110, 100, 15, false},
    {"SETTING_LBL_LOW", 356, 110, 100, 15, false},        {"SETTING_LBL_HIGH", 526, 110, 100, 15, false},
    {"SETTING_LBL_MEDIUM", 656, 110, 100, 15, false},     {"SETTING_LBL_LOW", 786, 110, 100, 15, false},
    {"SETTING_LBL_AUDGUIDE", 60, 169, 270, 17, true},     {"SETTING_LBL_AUDREC", 345, 169, 270, 17, true},
    {"SETTING_LBL_PLAMP", 635, 169, 250, 17, true},       {"SETTING_LBL_ON", 96, 207, 90, 15, false},
    {"SETTING_LBL_OFF", 226, 207, 90, 15, false},         {"SETTING_LBL_ON", 381, 207, 90, 15, false},
    {"SETTING_LBL_OFF", 511, 207, 90, 15, false},         {"SETTING_LBL_ON", 671, 207, 90, 15, false},
    {"SETTING_LBL_OFF", 801, 207, 90, 15, false},         {"SETTING_LBL_LCDOFF", 60, 265, 800, 17, true},
    {"SETTING_LBL_LCDOFF_NO", 96, 303, 130, 15, false},   {"SETTING_LBL_LCDOFF_1M", 256, 303, 120, 15, false},
    {"SETTING_LBL_LCDOFF_3M", 411, 303, 120, 15, false},  {"SETTING_LBL_LCDOFF_5M", 571, 303, 120, 15, false},
    {"SETTING_LBL_LCDOFF_10M", 726, 303, 120, 15, false}, {"SETTING_LBL_CUTOFF", 60, 362, 800, 17, true},
};

QFont labelFont(int px, bool bold) {
    QFont f(GetInstallerLanguage() == "korean" ? QStringLiteral("Noto Sans CJK KR")
                                               : QStringLiteral("Carlito"));
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}
} // namespace

const std::vector<QuickSettingsDialog::Toggle>& QuickSettingsDialog::toggles() {
    // In the order of the settings' items; within a row, left to right as the window shows them.
    static const std::vector<Toggle> kToggles = [] {
        std::vector<Toggle> t = {
            {1212, "SENSOR_GY_STV", 2, 70, 110, "SETTING_BTIP_GSENSOR_H"},
            {1211, "SENSOR_GY_STV", 1, 200, 110, "SETTING_BTIP_GSENSOR_M"},
            {1210, "SENSOR_GY_STV", 0, 330, 110, "SETTING_BTIP_GSENSOR_L"},
            {1216, "LCD_BRIGHT_LV", 2, 500, 110, "SETTING_BTIP_LCD_H"},
            {1215, "LCD_BRIGHT_LV", 1, 630, 110, "SETTING_BTIP_LCD_M"},
            {1214, "LCD_BRIGHT_LV", 0, 760, 110, "SETTING_BTIP_LCD_L"},
            {1218, "VOICE_GUIDE_ON", 1, 70, 207, "SETTING_BTIP_AUDGUIDE_ON"},
            {1217, "VOICE_GUIDE_ON", 0, 200, 207, "SETTING_BTIP_AUDGUIDE_OFF"},
            {1220, "VOICE_REC_ON", 1, 355, 207, "SETTING_BTIP_AUDREC_ON"},
            {1219, "VOICE_REC_ON", 0, 485, 207, "SETTING_BTIP_AUDREC_OFF"},
            {1222, "LED_PARKING_ON", 1, 645, 207, "SETTING_BTIP_PLAMP_ON"},
            {1221, "LED_PARKING_ON", 0, 775, 207, "SETTING_BTIP_PLAMP_OFF"},
            {1223, "LCD_OFF_TIME", 0, 70, 303, "SETTING_BTIP_LCDOFF_NO"},
            {1224, "LCD_OFF_TIME", 1, 230, 303, "SETTING_BTIP_LCDOFF_1M"},
            {1225, "LCD_OFF_TIME", 2, 385, 303, "SETTING_BTIP_LCDOFF_3M"},
            {1226, "LCD_OFF_TIME", 3, 545, 303, "SETTING_BTIP_LCDOFF_5M"},
            {1227, "LCD_OFF_TIME", 4, 700, 303, "SETTING_BTIP_LCDOFF_10M"},
        };
        static const char* const kTips[2][5] = {
            {"SETTING_BTIP_CUTOFF_LV00", "SETTING_BTIP_CUTOFF_LV01", "SETTING_BTIP_CUTOFF_LV02",
             "SETTING_BTIP_CUTOFF_LV03", "SETTING_BTIP_CUTOFF_LV04"},
            {"SETTING_BTIP_CUTOFF_LV10", "SETTING_BTIP_CUTOFF_LV11", "SETTING_BTIP_CUTOFF_LV12",
             "SETTING_BTIP_CUTOFF_LV13", "SETTING_BTIP_CUTOFF_LV14"}};
        const int xs[5] = {70, 230, 390, 545, 700};
        for (int row = 0; row < 2; ++row)
            for (int v = 0; v < 5; ++v)
                t.push_back({1228 + 5 * row + v, kCutoff, v, xs[v], row == 0 ? 403 : 448, kTips[row][v]});
        return t;
    }();
    return kToggles;
}

std::filesystem::path QuickSettingsDialog::settingsPath(const std::filesystem::path& root) {
    return root / "setup.ini";
}

QuickSettingsDialog::QuickSettingsDialog(std::filesystem::path iniPath, QWidget* parent)
    : QDialog(parent), m_path(std::move(iniPath)) {
    setObjectName(QStringLiteral("settingDlg"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    setWindowTitle(lstring("SETTING_LBL_TITLE"));

    RegisterQuickSettingItems(m_loader);
    m_loader.Load(m_path);

    for (const Toggle& t : toggles()) {
        auto* b = new SkinButton(this);
        b->setObjectName(QStringLiteral("setting%1").arg(t.id));
        b->setBitmaps(530, 532, 531, 533);
        b->setGeometry(t.x, t.y, 20, 20);
        b->setToolTip(lstring(t.tip));
        connect(b, &QAbstractButton::clicked, this,
                [this, key = t.key, value = t.value] { applyValue(key, value, true); });
        m_buttons[t.id] = b;
    }
    auto* save = new SkinButton(this);
    save->setObjectName(QStringLiteral("btnSave"));
    save->setBitmaps(500, 502, 501, 503);
    save->setGeometry(374, 530, 158, 36);
    save->setText(lstring("SETTING_LBL_SAVE"));
    save->setTextColor(Qt::white);
    save->setToolTip(lstring("SETTING_BTIP_SAVE"));
    connect(save, &QAbstractButton::clicked, this, &QuickSettingsDialog::onSave);
    m_buttons[kSaveId] = save;
    auto* cancel = new SkinButton(this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setBitmaps(540, 542, 541);
    cancel->setGeometry(833, 10, 65, 28);
    cancel->setToolTip(lstring("SETTING_BTIP_CANCEL"));
    connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    m_buttons[kCancelId] = cancel;

    // Each shown setting as the file (or its default) has it; "TIME_EXP_GMT" has no buttons.
    for (const char* key : {"SENSOR_GY_STV", "LCD_BRIGHT_LV", "VOICE_GUIDE_ON", "VOICE_REC_ON",
                            "LED_PARKING_ON", "LCD_OFF_TIME", kCutoff}) {
        int32_t v = 0;
        if (m_loader.GetInt(key, v))
            applyValue(key, v, false);
    }
    updateSaveButton();
}

QuickSettingsDialog::~QuickSettingsDialog() = default;

SkinButton* QuickSettingsDialog::button(int controlId) const {
    const auto it = m_buttons.find(controlId);
    return it == m_buttons.end() ? nullptr : it->second;
}

void QuickSettingsDialog::applyValue(const char* key, int value, bool store) {
    int index = -1;
    if (!m_loader.FindItem(key, index))
        return;
    // Opening only lights the buttons: the file's own text ("02", a value no button has) is written
    // back unchanged unless the user presses a button of that setting.
    if (store)
        m_loader.SetIntAt(index, value);
    for (const Toggle& t : toggles())
        if (std::string_view(t.key) == key)
            m_buttons[t.id]->setCheck(t.value == value);
    updateSaveButton();
}

void QuickSettingsDialog::updateSaveButton() {
    m_buttons[kSaveId]->setEnabled(!m_loader.IsUnchanged());
}

void QuickSettingsDialog::showMessage(const QString& text, QMessageBox::Icon icon) {
    if (m_showMessage) {
        m_showMessage(text, icon);
        return;
    }
    QMessageBox box(icon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

void QuickSettingsDialog::onSave() {
    if (!m_loader.Save(m_path)) {
        // A read-only or removed card: say so and stay open, so the user can try again or cancel.
        showMessage(lstring("SETTING_MSG_SAVE_FAILED"), QMessageBox::Critical);
        return;
    }
    showMessage(lstring("SETTING_MSG_SAVED"), QMessageBox::Information);
    accept();
}

void QuickSettingsDialog::showEvent(QShowEvent* e) {
    // At the top-left corner of the owner's rectangle.
    if (parentWidget())
        move(parentWidget()->window()->frameGeometry().topLeft());
    QDialog::showEvent(e);
}

const QPixmap& QuickSettingsDialog::background() {
    if (!(m_flags & 1) && !m_background.isNull())
        return m_background;
    QPixmap pm(kWidth, kHeight);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient body(0, 0, 0, kHeight);
    body.setColorAt(0, QColor(48, 48, 48));
    body.setColorAt(1, QColor(32, 32, 32));
    p.fillRect(pm.rect(), body);
    QLinearGradient band(0, 0, 0, 48);
    band.setColorAt(0, QColor(62, 62, 62));
    band.setColorAt(1, QColor(30, 30, 30));
    p.fillRect(0, 0, kWidth, 48, band);
    p.fillRect(0, 48, kWidth, 2, QColor(0, 168, 255));
    p.setPen(QColor(20, 20, 20));
    p.drawRect(0, 0, kWidth - 1, kHeight - 1);
    p.setPen(Qt::white);
    p.setFont(labelFont(20, true));
    p.drawText(QRect(24, 0, 600, 48), Qt::AlignVCenter | Qt::AlignLeft, lstring("SETTING_LBL_TITLE"));

    // Group panels behind the rows.
    const QRect panels[] = {{40, 62, 400, 76},   {470, 62, 410, 76}, {40, 159, 280, 76}, {325, 159, 285, 76},
                            {615, 159, 265, 76}, {40, 255, 840, 76}, {40, 352, 840, 124}};
    p.setPen(QColor(70, 70, 70));
    p.setBrush(QColor(255, 255, 255, 10));
    for (const QRect& r : panels)
        p.drawRoundedRect(r, 6, 6);

    for (const Label& l : kLabels) {
        p.setPen(l.title ? QColor(0, 168, 255) : QColor(215, 215, 215));
        p.setFont(labelFont(l.px, l.title));
        p.drawText(QRect(l.x, l.y, l.w, 20), Qt::AlignVCenter | Qt::AlignLeft, lstring(l.id));
    }
    // The cut-off rows: a level beside each button, the vehicle's voltage at the row's end.
    for (int row = 0; row < 2; ++row) {
        const int y = row == 0 ? 403 : 448;
        const int xs[5] = {70, 230, 390, 545, 700};
        p.setPen(QColor(160, 160, 160));
        p.setFont(labelFont(13, false));
        p.drawText(QRect(796, y, 80, 20), Qt::AlignVCenter | Qt::AlignRight,
                   lstring(row == 0 ? "SETTING_LBL_CUTOFF_12V" : "SETTING_LBL_CUTOFF_24V"));
        p.setPen(QColor(215, 215, 215));
        p.setFont(labelFont(15, false));
        for (int v = 0; v < 5; ++v)
            p.drawText(QRect(xs[v] + 26, y, 120, 20), Qt::AlignVCenter | Qt::AlignLeft,
                       lstring("SETTING_LBL_LEVEL").arg(v + 1));
    }
    p.end();
    m_background = pm;
    m_flags &= ~1u;
    return m_background;
}

void QuickSettingsDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, background());
}

void QuickSettingsDialog::mousePressEvent(QMouseEvent* e) {
    if ((m_flags & 2) && e->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
    QDialog::mousePressEvent(e);
}
