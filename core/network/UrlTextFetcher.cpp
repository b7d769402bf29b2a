#include "core/network/UrlTextFetcher.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <memory>

UrlTextFetcher::UrlTextFetcher(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

void UrlTextFetcher::FetchUrlText(const QUrl& url, Done done, int timeoutMs) {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https")) {
        QTimer::singleShot(0, this, [done] { done({}); });
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromLatin1(kQuillentUserAgent));
    QNetworkReply* reply = m_network->get(request);
    auto body = std::make_shared<QByteArray>();
    auto answered = std::make_shared<bool>(false);
    auto finish = [reply, body, answered, done](bool ok) {
        if (*answered)
            return;
        *answered = true;
        QString text;
        if (ok) {
            const int zero = body->indexOf('\0');
            text = QString::fromUtf8(zero < 0 ? *body : body->left(zero));
        }
        reply->disconnect();
        if (!reply->isFinished())
            reply->abort();
        reply->deleteLater();
        done(text);
    };
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [finish] { finish(false); });
    timer->start(timeoutMs);
    connect(reply, &QNetworkReply::readyRead, this, [reply, body, finish] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status < 200 || status >= 300) {
            finish(false);
            return;
        }
        body->append(reply->read(kMaxBodyBytes - body->size()));
        if (body->size() >= kMaxBodyBytes)
            finish(true); // enough: the rest is not read
    });
    connect(reply, &QNetworkReply::finished, this, [reply, body, finish] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
        if (ok && body->size() < kMaxBodyBytes)
            body->append(reply->read(kMaxBodyBytes - body->size()));
        finish(ok);
    });
}
