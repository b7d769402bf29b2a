#include "core/network/LinkDownload.h"

#include "core/common/ReplacingWriter.h"
#include "core/network/DownloadCheck.h"
#include "core/network/DownloadTarget.h"
#include "core/network/UrlTextFetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QFileInfo>
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
    // An unfinished temporary file goes with the writer.
}

void LinkDownload::start(const QUrl& url, const QString& targetPath, int64_t expectedBytes) {
    m_progress = std::make_unique<DownloadProgress>(expectedBytes);
    m_target = targetPath;
    m_check = std::make_unique<DownloadCheck>(expectedBytes, m_cap);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        // Reported after the caller has connected its slots and returned.
        QTimer::singleShot(0, this, [this, url] {
            fail(Result::BadAddress, QStringLiteral("not a web address: ") + url.toDisplayString());
        });
        return;
    }
    m_file = std::make_unique<ReplacingWriter>(targetPath.toStdString(), ReplacingWriter::Sync::Always,
                                               ReplacingWriter::Mode::NewFile);
    if (!m_file->isOpen()) {
        const QString text = QString::fromStdString(m_file->error());
        m_file.reset();
        QTimer::singleShot(0, this, [this, text] { fail(Result::File, text); });
        return;
    }
    // A file that appears under the name meanwhile keeps it; the download takes the next free one.
    m_file->setChooseAgain([](const std::filesystem::path& taken) {
        const QFileInfo info(QString::fromStdString(taken.string()));
        return std::filesystem::path(FreeTargetPath(info.absolutePath(), info.fileName()).toStdString());
    });
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kQuillentUserAgent));
    // The body as sent, so that its Content-Length counts the bytes that are stored.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(kStallTimeoutMs);
    m_reply = m_network->get(request);
    m_reply->setReadBufferSize(kReadBufferBytes);
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
    if (code >= 300 && code < 400) {
        // Only web addresses are followed: say where the server sent the download, not its status.
        QUrl to = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (to.isEmpty())
            to = QUrl(QString::fromUtf8(m_reply->rawHeader("Location")));
        if (const QString refusal = DownloadCheck::redirectRefusal(m_reply->url(), to); !refusal.isEmpty()) {
            fail(Result::BadAddress, refusal);
            return false;
        }
    }
    fail(Result::HttpStatus,
         QStringLiteral("the server answered %1 %2")
             .arg(code)
             .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
    return false;
}

bool LinkDownload::learnSize() {
    const QVariant header = m_reply->header(QNetworkRequest::ContentLengthHeader);
    const std::optional<int64_t> length =
        header.isValid() ? std::optional<int64_t>(header.toLongLong()) : std::nullopt;
    if (!m_check->takeHeaders(length)) {
        fail(Result::Network, m_check->error());
        return false;
    }
    return true;
}

void LinkDownload::onReadyRead() {
    if (m_done || !statusIsSuccess() || !learnSize())
        return;
    while (m_reply && m_reply->bytesAvailable() > 0) {
        const QByteArray piece = m_reply->read(DownloadProgress::kPieceBytes);
        if (!m_check->addBytes(piece.size())) {
            fail(Result::Network, m_check->error());
            return;
        }
        if (!m_file->write(std::string_view(piece.constData(), size_t(piece.size())))) {
            fail(Result::File, QString::fromStdString(m_file->error()));
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
        // A body cut off before its announced end says so, whichever way the network reports it.
        if (m_check->expected() >= 0 && m_check->received() < m_check->expected()) {
            m_check->finish();
            fail(Result::Network, m_check->error() + QStringLiteral(" (%1)").arg(m_reply->errorString()));
            return;
        }
        fail(Result::Network, m_reply->errorString());
        return;
    }
    onReadyRead();
    if (m_done || !statusIsSuccess() || !learnSize())
        return;
    if (!m_check->finish()) {
        fail(Result::Network, m_check->error());
        return;
    }
    if (!m_file->commit()) {
        const QString text = QString::fromStdString(m_file->error());
        m_file.reset();
        fail(Result::File, text);
        return;
    }
    m_target = QString::fromStdString(m_file->target().string());
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
    m_file.reset(); // removes the temporary file
    emit finished(result);
}
