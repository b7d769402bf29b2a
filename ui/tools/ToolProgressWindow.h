// The part every tool window shares: it owns the tool job of one run, receives the job's signals
// queued on the UI thread, keeps the keyboard (Enter, Esc, Space, Ctrl+Break, Alt+F4) from closing
// or triggering it, and shows its messages through one replaceable reporter. Base of ConvertCopyWindow,
// MergeWindow and ScrambledCopyWindow.
#pragma once

#include "core/tools/ToolJob.h"

#include <QDialog>
#include <QMessageBox>

#include <functional>
#include <memory>

class ToolProgressWindow : public QDialog {
    Q_OBJECT
public:
    // Shows a message: the icon, and the text already looked up in the language table.
    using Reporter = std::function<void(QMessageBox::Icon, const QString&)>;

    explicit ToolProgressWindow(QWidget* parent = nullptr);
    ~ToolProgressWindow() override; // a running job is cancelled and waited for

    void setReporter(Reporter reporter) { m_report = std::move(reporter); }
    bool isWorking() const { return m_job && m_job->isRunning(); }
    ToolJob* job() const { return m_job.get(); }
    // Asks the running job to stop; the window learns the outcome from OnJobFinished.
    void cancelJob();

    // Text of a language-table entry (empty when missing).
    static QString text(const char* id);
    // The language-table text for a failure code of the file tools (ConvertResult).
    static QString failureText(int code);

protected:
    // A new job for this run; the items are added by the caller, then startJob().
    ToolJob& newJob();
    void startJob();
    void report(QMessageBox::Icon icon, const QString& text);

    virtual void onItemStarted(int) {}
    virtual void onProgress(int, int) {}
    virtual void onItemFinished(int, bool, const QString&) {}
    virtual void onJobFinished(int failures, bool cancelled) = 0;

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // only a tool's own close paths end the window

    // True lets the next reject() through (a close button of the window).
    void allowClose() { m_closeAllowed = true; }

private:
    std::unique_ptr<ToolJob> m_job;
    Reporter m_report;
    bool m_closeAllowed = false;
};
