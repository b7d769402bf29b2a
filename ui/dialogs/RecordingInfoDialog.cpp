#include "ui/dialogs/RecordingInfoDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {
struct CaptionText {
    int id;
    const char* english;
    const char* korean;
};
// Group captions 1251..1253, field captions 1254..1259.
const CaptionText kCaptions[] = {
    {1251, "Vehicle Info", "차량 정보"},
    {1252, "Firmware Info", "펌웨어 정보"},
    {1253, "Viewer Info", "프로그램 정보"},
    {1254, "Company", "회사명"},
    {1255, "Vehicle", "차량번호"},
    {1256, "Driver", "운전자명"},
    {1257, "Version", "버전"},
    {1258, "Serial NO.", "시리얼"},
    {1259, "Version", "버전"},
};

QString captionText(int id, bool korean) {
    for (const CaptionText& c : kCaptions)
        if (c.id == id)
            return QString::fromUtf8(korean ? c.korean : c.english);
    return {};
}

QLabel* named(QLabel* label, int id) {
    label->setObjectName(QStringLiteral("c%1").arg(id));
    return label;
}
} // namespace

RecordingInfoDialog::RecordingInfoDialog(const MovieInfo& info, bool korean, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Movie Info"));
    auto* layout = new QVBoxLayout(this);

    auto group = [&](int captionId, std::initializer_list<std::tuple<int, int, QString>> rows) {
        auto* box = new QGroupBox(captionText(captionId, korean), this);
        box->setObjectName(QStringLiteral("c%1").arg(captionId));
        auto* form = new QFormLayout(box);
        for (const auto& [labelId, valueId, value] : rows) {
            auto* valueLabel = named(new QLabel(value, box), valueId);
            valueLabel->setTextFormat(Qt::PlainText); // texts of the file, never markup
            valueLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(named(new QLabel(captionText(labelId, korean), box), labelId), valueLabel);
        }
        layout->addWidget(box);
    };
    group(1251, {{1254, 1243, info.company}, {1255, 1244, info.vehicle}, {1256, 1245, info.driver}});
    group(1252, {{1257, 1246, info.firmwareVersion}, {1258, 1247, info.serialNumber}});
    group(1253, {{1259, 1248, QString::fromLatin1(kViewerVersion)}});

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

QString RecordingInfoDialog::caption(int controlId) const {
    if (auto* box = findChild<QGroupBox*>(QStringLiteral("c%1").arg(controlId)))
        return box->title();
    if (auto* label = findChild<QLabel*>(QStringLiteral("c%1").arg(controlId)))
        return label->text();
    return {};
}

QString RecordingInfoDialog::value(int controlId) const {
    auto* label = findChild<QLabel*>(QStringLiteral("c%1").arg(controlId));
    return label ? label->text() : QString();
}
