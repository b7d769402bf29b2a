#include "ui/tools/ConvertCopyWindow.h"

#include "core/container/RecordingConverter.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace fs = std::filesystem;

namespace {
constexpr int kWidth = 400;
constexpr int kHeight = 140; // bar 20 px high, the text band right below it
const QColor kBackground(42, 48, 58);
const QColor kBarEmpty(21, 25, 30);
const QColor kBarFilled(169, 180, 200);
} // namespace

ConvertCopyWindow::ConvertCopyWindow(const QString& targetFolder, const QStringList& sources, int mode, QWidget* parent)
    : ToolProgressWindow(parent), m_folder(targetFolder), m_sources(sources), m_mode(mode) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    setModal(true);
    m_cancel = new QPushButton(text("PROCESS_BTN_CANCEL"), this);
    m_cancel->setGeometry(kWidth - 100, 16, 80, 28);
    m_cancel->setFocusPolicy(Qt::NoFocus); // Space and Enter must not reach it
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        cancelJob();
    });
}

QString ConvertCopyWindow::targetOf(const QString& source) const {
    return QString::fromStdString(
        ConvertedPath(m_folder.toStdString(), source.toStdString(), m_mode == kConvert).string());
}

ToolItemResult ConvertCopyWindow::runOne(const QString& source, const ToolJob::Control& control) const {
    const fs::path target = targetOf(source).toStdString();
    std::error_code ec;
    if (!m_replace && fs::exists(target, ec))
        return {false, false, text("TOOL_ERR_EXISTS")};
    const auto progress = [&control](uint64_t done, uint64_t total) { return control.report(done, total); };
    const int code = m_mode == kConvert
                         ? ConvertRecording(m_folder.toStdString(), source.toStdString(), true, progress)
                         : CopyRecording(m_folder.toStdString(), source.toStdString(), progress);
    if (code >= 0)
        return {true, false, {}};
    return {false, code == kConvertCancelled, failureText(code)};
}

void ConvertCopyWindow::showEvent(QShowEvent* event) {
    ToolProgressWindow::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
    ToolJob& job = newJob();
    for (const QString& source : m_sources)
        job.addItem(source, [this, source](const ToolJob::Control& c) { return runOne(source, c); });
    startJob();
}

void ConvertCopyWindow::onItemStarted(int index) {
    m_current = QFileInfo(m_sources.value(index)).fileName();
    update();
}

void ConvertCopyWindow::onItemFinished(int index, bool ok, const QString& message) {
    if (!ok && !job()->results()[size_t(index)].cancelled)
        m_failures << QFileInfo(m_sources.value(index)).fileName() + ": " + message;
    showFilesDone(index + 1);
}

void ConvertCopyWindow::showFilesDone(int filesDone) {
    if (filesDone > total()) {
        allowClose();
        accept();
        return;
    }
    m_progress = filesDone;
    update();
}

void ConvertCopyWindow::onJobFinished(int failures, bool cancelled) {
    m_cancel->setEnabled(false);
    const bool convert = m_mode == kConvert;
    int done = 0;
    for (const auto& r : job()->results())
        done += r.ok ? 1 : 0;
    QMessageBox::Icon icon = QMessageBox::Information;
    if (cancelled) {
        m_outcome = text(convert ? "FILECONVERT_CANCELED" : "FILEDOWNLOAD_CANCELED").arg(done).arg(total());
        icon = QMessageBox::Warning;
    } else if (failures == 0) {
        m_outcome = text(convert ? "FILECONVERT_COMPLETE" : "FILEDOWNLOAD_COMPLETE");
    } else {
        icon = QMessageBox::Critical;
        m_outcome = text(convert ? "FILECONVERT_FAILED" : "FILEDOWNLOAD_FAILED").arg(failures).arg(total());
    }
    if (!m_failures.isEmpty())
        m_outcome += "\n\n" + m_failures.join('\n');
    report(icon, m_outcome);
    showFilesDone(total() + 1);
}

void ConvertCopyWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect client = rect();
    p.fillRect(client, kBackground);
    const QRect bar = client.adjusted(20, 60, -20, -60);
    p.fillRect(bar, kBarEmpty);
    const int count = total();
    if (count > 0 && m_progress > 0) {
        const int right =
            m_progress >= count ? bar.right() + 1 : bar.left() + (client.width() - 40) * m_progress / count;
        p.fillRect(QRect(QPoint(bar.left(), bar.top()), QPoint(right - 1, bar.bottom())), kBarFilled);
    }
    const QRect band = bar.adjusted(0, 20, 0, 40);
    p.fillRect(band, kBackground);
    QFont font(QStringLiteral("Calibri"));
    font.setPixelSize(18);
    font.setWeight(QFont::Normal);
    p.setFont(font);
    p.setPen(Qt::white);
    const int percent = count == 0 ? 0 : m_progress >= count ? 100 : m_progress * 100 / count;
    p.drawText(band, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               QStringLiteral("%1 / %2").arg(m_progress).arg(count));
    p.drawText(band, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
               QStringLiteral("%1 %").arg(percent));
    // The file being worked on, above the bar.
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(QColor(200, 205, 215));
    p.drawText(QRect(20, 16, client.width() - 140, 28), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(m_current, Qt::ElideMiddle, client.width() - 140));
}
