#include "ui/tools/ToolProgressWindow.h"

#include "core/config/ViewerConfig.h"
#include "core/container/RecordingConverter.h"

#include <QCloseEvent>
#include <QKeyEvent>

ToolProgressWindow::ToolProgressWindow(QWidget* parent) : QDialog(parent) {}

ToolProgressWindow::~ToolProgressWindow() {
    if (m_job) {
        m_job->cancel();
        m_job->disconnect(this);
    }
}

QString ToolProgressWindow::text(const char* id) {
    return QString::fromStdString(LString(id));
}

QString ToolProgressWindow::failureText(int code) {
    switch (code) {
    case kConvertNoSource:
        return text("TOOL_ERR_NO_SOURCE");
    case kConvertTooShort:
    case kConvertShortHeader:
        return text("TOOL_ERR_NOT_RECORDING");
    case kConvertWriteFailed:
        return text("TOOL_ERR_WRITE");
    case kConvertNoOutput:
        return text("TOOL_ERR_NO_OUTPUT");
    case kConvertDamaged:
        return text("TOOL_ERR_DAMAGED");
    case kConvertCancelled:
        return text("TOOL_ERR_CANCELED");
    case kConvertIsMp4:
        return text("TOOL_ERR_MP4");
    }
    return text("TOOL_ERR_WRITE");
}

ToolJob& ToolProgressWindow::newJob() {
    if (m_job)
        m_job->disconnect(this);
    m_job = std::make_unique<ToolJob>();
    // The job emits on its worker: every connection here is queued onto the UI thread.
    connect(
        m_job.get(), &ToolJob::itemStarted, this, [this](int i) { onItemStarted(i); }, Qt::QueuedConnection);
    connect(
        m_job.get(), &ToolJob::progressChanged, this, [this](int i, int p) { onProgress(i, p); },
        Qt::QueuedConnection);
    connect(
        m_job.get(), &ToolJob::itemFinished, this,
        [this](int i, bool ok, const QString& m) { onItemFinished(i, ok, m); }, Qt::QueuedConnection);
    connect(
        m_job.get(), &ToolJob::finished, this, [this](int f, bool c) { onJobFinished(f, c); },
        Qt::QueuedConnection);
    return *m_job;
}

void ToolProgressWindow::startJob() {
    if (m_job)
        m_job->start();
}

void ToolProgressWindow::cancelJob() {
    if (m_job)
        m_job->cancel();
}

void ToolProgressWindow::report(QMessageBox::Icon icon, const QString& text) {
    if (m_report) {
        m_report(icon, text);
        return;
    }
    // Not modal to this window: a progress window closes right after its last message.
    QWidget* owner = parentWidget() ? parentWidget() : this;
    auto* box = new QMessageBox(icon, owner->windowTitle(), text, QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ToolProgressWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Space:
    case Qt::Key_Cancel:
    case Qt::Key_Pause: // Ctrl+Break
        event->accept();
        return;
    case Qt::Key_F4:
        if (event->modifiers() & Qt::AltModifier) {
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void ToolProgressWindow::closeEvent(QCloseEvent* event) {
    if (!m_closeAllowed) {
        event->ignore(); // Alt+F4 and the window manager's close
        return;
    }
    QDialog::closeEvent(event);
}

void ToolProgressWindow::reject() {
    if (!m_closeAllowed)
        return;
    QDialog::reject();
}
