#include "ui/dialogs/DownloadWindow.h"

#include "core/config/ViewerConfig.h"
#include "ui/page/BrowserHost.h"

#include <QDebug>
#include <QFileInfo>
#include <QScreen>

DownloadWindow::DownloadWindow(const QUrl& url, const QString& targetPath, int64_t expectedBytes, QWidget* parent)
    : PageWindow(QStringLiteral("download"), QSize(kWidth, kHeight), kDispDoDownloadHandler,
                 &BridgeHost::downloadWindow, Frame::PageOnly, parent),
      m_url(url), m_target(targetPath), m_expected(expectedBytes) {
    setWindowTitle(QString::fromStdString(LString("DOWNLOAD_LBL_TITLE")));
    m_download = new LinkDownload(this);
    connect(m_download, &LinkDownload::progress, this, &DownloadWindow::onProgress);
    connect(m_download, &LinkDownload::finished, this, &DownloadWindow::onFinished);
    connect(page(), &BrowserHost::pageLoaded, this, &DownloadWindow::onPageLoaded);
    page()->navigate(QStringLiteral("download.htm"));
}

DownloadWindow::~DownloadWindow() = default;

void DownloadWindow::onPageLoaded(bool ok) {
    page()->callScript(QStringLiteral("initLanguage"),
                       QStringList{QString::fromStdString(GetInstallerLanguage())});
    page()->callScript(QStringLiteral("setVersion1"), QStringList{QFileInfo(m_target).fileName()});
    if (m_started)
        return; // a reload of the page: the transfer goes on
    if (!ok)
        qInfo() << "the download page did not load; the transfer runs anyway";
    m_started = true;
    m_download->start(m_url, m_target, m_expected);
}

void DownloadWindow::onProgress(int percent) {
    m_lastPercent = percent;
    page()->callScript(QStringLiteral("setProgress"), QStringList{QString::number(percent)});
}

void DownloadWindow::onFinished(LinkDownload::Result result) {
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
    page()->callScript(QStringLiteral("setError"),
                       QStringList{QString::fromLatin1(kind), m_download->errorText()});
}

void DownloadWindow::handleCommand(const QString& name, const QString&) {
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

void DownloadWindow::reject() {
    m_download->cancel(); // removes what has arrived so far
    QDialog::reject();
}

void DownloadWindow::showEvent(QShowEvent* e) {
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, kWidth, kHeight);
    move(area.center() - rect().center());
    QDialog::showEvent(e);
}
