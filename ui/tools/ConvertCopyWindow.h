// The progress window of the conversion to AVI and of the plain copy of recordings to a folder:
// runs the files one after the other on the tool job, draws the files done as a bar with
// "done / total" and a percentage, offers Cancel, and ends with a message that names the files
// that failed and why. Started by the "btnConvert" and "btnDownload" commands.
#pragma once

#include "ui/tools/ToolProgressWindow.h"

#include <QStringList>

class QPushButton;

class ConvertCopyWindow : public ToolProgressWindow {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 386;
    enum Mode { kConvert = 1, kCopy = 2 };

    ConvertCopyWindow(const QString& targetFolder, const QStringList& sources, int mode, QWidget* parent = nullptr);

    // Targets that already exist are replaced when true; otherwise they are left alone and
    // reported as failed.
    void setReplaceExisting(bool replace) { m_replace = replace; }
    // The output file of a source in this window's mode.
    QString targetOf(const QString& source) const;

    int progress() const { return m_progress; }
    int total() const { return int(m_sources.size()); }
    int mode() const { return m_mode; }
    QPushButton* cancelButton() const { return m_cancel; }
    // The message shown at the end (for tests and the log).
    const QString& outcome() const { return m_outcome; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void onItemStarted(int index) override;
    void onItemFinished(int index, bool ok, const QString& message) override;
    void onJobFinished(int failures, bool cancelled) override;

private:
    void showFilesDone(int filesDone); // past the last file: the window closes
    ToolItemResult runOne(const QString& source, const ToolJob::Control& control) const;

    QString m_folder;
    QStringList m_sources;
    int m_progress = 0;
    int m_mode = kConvert;
    bool m_replace = false;
    bool m_started = false;
    QString m_current;
    QStringList m_failures; // "name: reason"
    QString m_outcome;
    QPushButton* m_cancel = nullptr;
};
