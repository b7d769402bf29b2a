#include "core/network/LinkDownload.h"

#include "core/common/ReplacingWriter.h"
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
    m_linkSize = std::max<int64_t>(expectedBytes, 0);
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
        to = m_reply->url().resolved(to);
        const QString scheme = to.scheme().toLower();
        if (!to.isEmpty() && scheme != u"http" && scheme != u"https") {
            fail(Result::BadAddress,
                 QStringLiteral("the server sent the download on to %1, which is not a web address; "
                                "only http and https are followed")
                     .arg(to.toDisplayString()));
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
    if (m_sizeKnown)
        return true;
    m_sizeKnown = true;
    const QVariant header = m_reply->header(QNetworkRequest::ContentLengthHeader);
    const int64_t server = header.isValid() ? header.toLongLong() : -1;
    if (server >= 0 && m_linkSize > 0 && server != m_linkSize) {
        fail(Result::Network, QStringLiteral("the server announces %1 bytes, but the link says %2")
                                  .arg(server)
                                  .arg(m_linkSize));
        return false;
    }
    m_expected = server >= 0 ? server : m_linkSize > 0 ? m_linkSize : -1;
    return true;
}

void LinkDownload::onReadyRead() {
    if (m_done || !statusIsSuccess() || !learnSize())
        return;
    const int64_t limit = m_expected >= 0 ? m_expected : m_cap;
    while (m_reply && m_reply->bytesAvailable() > 0) {
        const QByteArray piece = m_reply->read(DownloadProgress::kPieceBytes);
        if (m_progress->total() + piece.size() > limit) {
            fail(Result::Network, m_expected >= 0
                                      ? QStringLiteral("the server sends more than the %1 bytes announced")
                                            .arg(m_expected)
                                      : QStringLiteral("the server sends more than %1 bytes without "
                                                       "announcing a size")
                                            .arg(limit));
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
        fail(Result::Network, m_reply->errorString());
        return;
    }
    onReadyRead();
    if (m_done || !statusIsSuccess() || !learnSize())
        return;
    if (m_expected >= 0 && m_progress->total() != m_expected) {
        fail(Result::Network, QStringLiteral("the download was cut short: %1 of %2 bytes arrived")
                                  .arg(m_progress->total())
                                  .arg(m_expected));
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
