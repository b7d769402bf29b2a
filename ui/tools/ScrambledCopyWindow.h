// The progress window of the scrambled copy of one recording: shows source and target, starts the
// copy (or the restore of the original from a scrambled copy) on the tool job 10 ms after it
// opened, and ends with OK when the copy is complete and Cancel when it failed; the keyboard can
// neither close nor trigger it. Started by "btnSave".
#pragma once

#include "ui/tools/ToolProgressWindow.h"

class SkinText;
class QProgressBar;

class ScrambledCopyWindow : public ToolProgressWindow {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 110;

    ScrambledCopyWindow(const QString& source, const QString& target, QWidget* parent = nullptr);
    // The way back instead: `source` is a scrambled copy and `target` gets the camera recording it
    // was made from. Set before the window is shown.
    void setRestore(bool restore) { m_restore = restore; }
    bool isRestore() const { return m_restore; }

    // The save dialog's filter for a source: "video(*.ext)" with the extension after the last
    // dot of the path, "*" without one.
    static QString filterFor(const QString& source);
    // The name proposed in the save dialog: the folder and the source's file name.
    static QString proposedTarget(const QString& folder, const QString& source);

    QProgressBar* bar() const { return m_bar; }
    const QString& failureReason() const { return m_reason; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void onProgress(int index, int percent) override;
    void onJobFinished(int failures, bool cancelled) override;

private:
    QString m_source;
    QString m_target;
    QString m_reason;
    SkinText* m_texts[4] = {};
    QProgressBar* m_bar = nullptr;
    QPixmap m_background;
    uint32_t m_windowFlags = 3; // bit 1: a left click anywhere drags the window
    bool m_started = false;
    bool m_restore = false;
};
