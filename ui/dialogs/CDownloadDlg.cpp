#include "ui/dialogs/CDownloadDlg.h"

#include "core/config/ViewerConfig.h"
#include "ui/bridge/BrowserHost.h"

#include <QDebug>
#include <QFileInfo>
#include <QScreen>

CDownloadDlg::CDownloadDlg(const QUrl& url, const QString& targetPath, int64_t expectedBytes, QWidget* parent)
    : PageWindow(QStringLiteral("download"), QSize(kWidth, kHeight), kDispDoDownloadHandler,
                 &BridgeHost::DownloadWindow, Frame::PageOnly, parent),
      m_url(url), m_target(targetPath), m_expected(expectedBytes) {
    setWindowTitle(QStringLiteral("Download"));
    m_download = new LinkDownload(this);
    connect(m_download, &LinkDownload::progress, this, &CDownloadDlg::onProgress);
    connect(m_download, &LinkDownload::finished, this, &CDownloadDlg::onFinished);
    connect(Page(), &BrowserHost::pageLoaded, this, &CDownloadDlg::onPageLoaded);
    Page()->Navigate(QStringLiteral("download.htm"));
}

CDownloadDlg::~CDownloadDlg() = default;

void CDownloadDlg::onPageLoaded(bool ok) {
    Page()->CallScript(QStringLiteral("initLanguage"),
                       QStringList{QString::fromStdString(GetInstallerLanguage())});
    Page()->CallScript(QStringLiteral("setVersion1"), QStringList{QFileInfo(m_target).fileName()});
    if (m_started)
        return; // a reload of the page: the transfer goes on
    if (!ok)
        qInfo() << "the download page did not load; the transfer runs anyway";
    m_started = true;
    m_download->start(m_url, m_target, m_expected);
}

void CDownloadDlg::onProgress(int percent) {
    m_lastPercent = percent;
    Page()->CallScript(QStringLiteral("setProgress"), QStringList{QString::number(percent)});
}

void CDownloadDlg::onFinished(LinkDownload::Result result) {
    emit transferEnded(result);
    if (result == LinkDownload::Result::Ok) {
        accept();
        return;
    }
    if (result == LinkDownload::Result::Cancelled)
        return;
    // The design leaves the window waiting without a word; the page says what went wrong instead.
    qInfo().noquote() << "download failed:" << m_download->errorText();
    const char* kind = result == LinkDownload::Result::HttpStatus   ? "status"
                       : result == LinkDownload::Result::File       ? "file"
                       : result == LinkDownload::Result::BadAddress ? "address"
                                                                    : "network";
    Page()->CallScript(QStringLiteral("setError"),
                       QStringList{QString::fromLatin1(kind), m_download->errorText()});
}

void CDownloadDlg::HandleCommand(const QString& name, const QString&) {
    if (name == QLatin1String("btnOk")) {
        if (m_download->result() == LinkDownload::Result::Ok && !m_download->isRunning() &&
            m_lastPercent == 100)
            accept();
        else if (!m_download->isRunning())
            reject(); // after a failure OK only closes the window
    } else if (name == QLatin1String("btnCancel")) {
        reject();
    }
}

void CDownloadDlg::reject() {
    m_download->cancel(); // removes what has arrived so far
    QDialog::reject();
}

void CDownloadDlg::showEvent(QShowEvent* e) {
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, kWidth, kHeight);
    move(area.center() - rect().center());
    QDialog::showEvent(e);
}
