#include "core/network/DownloadCheck.h"

QString DownloadCheck::redirectRefusal(const QUrl& from, const QUrl& target) {
    const QUrl to = from.resolved(target);
    const QString scheme = to.scheme().toLower();
    if (to.isEmpty() || scheme == u"http" || scheme == u"https")
        return {};
    return QStringLiteral("the server sent the download on to %1, which is not a web address; "
                          "only http and https are followed")
        .arg(to.toDisplayString());
}

bool DownloadCheck::failed(QString text) {
    if (m_error.isEmpty())
        m_error = std::move(text);
    return false;
}

bool DownloadCheck::takeHeaders(std::optional<int64_t> contentLength) {
    if (m_headers)
        return m_error.isEmpty();
    m_headers = true;
    if (contentLength && *contentLength < 0)
        contentLength.reset();
    if (contentLength && m_linkSize > 0 && *contentLength != m_linkSize)
        return failed(QStringLiteral("the server announces %1 bytes, but the link says %2")
                          .arg(*contentLength)
                          .arg(m_linkSize));
    m_expected = contentLength ? *contentLength : m_linkSize > 0 ? m_linkSize : -1;
    return true;
}

bool DownloadCheck::addBytes(int64_t bytes) {
    if (!m_error.isEmpty())
        return false;
    const int64_t limit = m_expected >= 0 ? m_expected : m_cap;
    if (bytes < 0 || bytes > limit - m_received)
        return failed(m_expected >= 0
                          ? QStringLiteral("the server sends more than the %1 bytes announced").arg(m_expected)
                          : QStringLiteral("the server sends more than %1 bytes without announcing a size")
                                .arg(limit));
    m_received += bytes;
    return true;
}

bool DownloadCheck::finish() {
    if (!m_error.isEmpty())
        return false;
    if (m_expected >= 0 && m_received != m_expected)
        return failed(QStringLiteral("the download was cut short: %1 of %2 bytes arrived")
                          .arg(m_received)
                          .arg(m_expected));
    return true;
}
