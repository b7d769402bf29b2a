// The download window of a "qmv:" link: shows the skin's "download.htm", fetches the linked
// recording into the target folder and reports progress to the page. Run by the main window's
// link handling (opened, never exec'd inside a page call); the script bridge routes the page's
// DoDownloadHandler calls ("btnOk", "btnCancel") here.
#pragma once

#include "core/network/LinkDownload.h"
#include "ui/page/PageWindow.h"

#include <QString>
#include <QUrl>

#include <cstdint>

class DownloadWindow : public PageWindow {
    Q_OBJECT
public:
    static constexpr int kBrowserId = 1107;
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 260;

    // `targetPath`: the full path the file is stored under (a free name, see FreeTargetPath).
    DownloadWindow(const QUrl& url, const QString& targetPath, int64_t expectedBytes,
                 QWidget* parent = nullptr);
    ~DownloadWindow() override;

    // "btnOk" closes with OK once the file is complete; "btnCancel" stops the transfer (nothing is
    // left on disk) and closes with Cancel.
    void handleCommand(const QString& name, const QString& value) override;

    // Where the file is stored: the path given, or the free name taken instead when a file appeared
    // there during the transfer.
    QString targetPath() const { return m_download->result() == LinkDownload::Result::Ok ? m_download->targetPath() : m_target; }
    LinkDownload::Result result() const { return m_download->result(); }
    int lastPercent() const { return m_lastPercent; }
    // The transfer has not ended yet (also before the page has started it).
    bool isTransferring() const { return !m_started || m_download->isRunning(); }

signals:
    // The transfer has ended (the page shows the outcome); OK follows by itself only on success.
    void transferEnded(LinkDownload::Result result);

protected:
    void showEvent(QShowEvent*) override;
    void reject() override;

private:
    void onPageLoaded(bool ok);
    void onProgress(int percent);
    void onFinished(LinkDownload::Result result);

    QUrl m_url;
    QString m_target;
    int64_t m_expected;
    LinkDownload* m_download = nullptr;
    bool m_started = false;
    int m_lastPercent = -1;
};
