#include "core/network/LinkDownload.h"

#include "core/network/UrlTextFetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>

LinkDownload::LinkDownload(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

LinkDownload::~LinkDownload() {
    if (m_reply) {
        m_reply->disconnect(this);
        if (!m_reply->isFinished())
            m_reply->abort();
        m_reply->deleteLater();
    }
    if (m_file)
        m_file->cancelWriting(); // the temporary file goes with the object
}

void LinkDownload::start(const QUrl& url, const QString& targetPath, int64_t expectedBytes) {
    m_progress = std::make_unique<DownloadProgress>(expectedBytes);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        // Reported after the caller has connected its slots and returned.
        QTimer::singleShot(0, this, [this, url] {
            fail(Result::BadAddress, QStringLiteral("not a web address: ") + url.toDisplayString());
        });
        return;
    }
    m_file = std::make_unique<QSaveFile>(targetPath);
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString text = QStringLiteral("cannot create %1: %2").arg(targetPath, m_file->errorString());
        m_file.reset();
        QTimer::singleShot(0, this, [this, text] { fail(Result::File, text); });
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kQuillentUserAgent));
    request.setTransferTimeout(kStallTimeoutMs);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &LinkDownload::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &LinkDownload::onFinished);
}

void LinkDownload::cancel() {
    if (!m_reply || m_done)
        return;
    fail(Result::Cancelled, QStringLiteral("cancelled"));
}

bool LinkDownload::statusIsSuccess() {
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.toInt();
    if (status.isValid() && code >= 200 && code < 300)
        return true;
    fail(Result::HttpStatus,
         QStringLiteral("the server answered %1 %2")
             .arg(code)
             .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
    return false;
}

void LinkDownload::onReadyRead() {
    if (m_done || !statusIsSuccess())
        return;
    while (m_reply && m_reply->bytesAvailable() > 0) {
        const QByteArray piece = m_reply->read(DownloadProgress::kPieceBytes);
        if (m_file->write(piece) != piece.size()) {
            fail(Result::File,
                 QStringLiteral("cannot write %1: %2").arg(m_file->fileName(), m_file->errorString()));
            return;
        }
        if (const auto percent = m_progress->addPiece(piece.size()))
            emit progress(*percent);
    }
}

void LinkDownload::onFinished() {
    if (m_done)
        return;
    if (m_reply->error() != QNetworkReply::NoError) {
        // An error status arrives as a reply error too: say what the server said.
        if (m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() && !statusIsSuccess())
            return;
        fail(Result::Network, m_reply->errorString());
        return;
    }
    onReadyRead();
    if (m_done || !statusIsSuccess())
        return;
    if (!m_file->commit()) {
        const QString text =
            QStringLiteral("cannot write %1: %2").arg(m_file->fileName(), m_file->errorString());
        m_file.reset();
        fail(Result::File, text);
        return;
    }
    m_file.reset();
    m_done = true;
    m_result = Result::Ok;
    m_reply->deleteLater();
    m_reply = nullptr;
    emit progress(100);
    emit finished(Result::Ok);
}

void LinkDownload::fail(Result result, const QString& text) {
    if (m_done)
        return;
    m_done = true;
    m_result = result;
    m_error = text;
    if (m_reply) {
        m_reply->disconnect(this);
        if (!m_reply->isFinished())
            m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    if (m_file) {
        m_file->cancelWriting();
        m_file.reset(); // removes the temporary file
    }
    emit finished(result);
}
