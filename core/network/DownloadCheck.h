// The checks a link download makes of the server's answer, apart from the network: where a
// redirect may lead, the size the body must have (the server's Content-Length and the link's size
// field must agree), a body that runs past it (or past a cap when neither gives a size) and one
// that ends short of it. Used by LinkDownload and its fuzzer.
#pragma once

#include <QString>
#include <QUrl>

#include <cstdint>
#include <optional>

class DownloadCheck {
public:
    // `linkSize` 0: the link gives no size. `cap`: the most bytes taken without any size.
    DownloadCheck(int64_t linkSize, int64_t cap) : m_linkSize(linkSize > 0 ? linkSize : 0), m_cap(cap) {}

    // Why a redirect to `target` (relative to `from`) is not followed; empty when it is a web address.
    static QString redirectRefusal(const QUrl& from, const QUrl& target);

    // The server's Content-Length (nullopt: none). False with error() set when it and the link's
    // size differ.
    bool takeHeaders(std::optional<int64_t> contentLength);
    // Counts `bytes` more of the body. False with error() set when the body runs past its size.
    bool addBytes(int64_t bytes);
    // The body has ended. False with error() set when it is shorter than its size.
    bool finish();

    int64_t received() const { return m_received; }
    int64_t expected() const { return m_expected; } // -1 when no size is known
    const QString& error() const { return m_error; }

private:
    bool failed(QString text);
    int64_t m_linkSize;
    int64_t m_cap;
    int64_t m_expected = -1;
    int64_t m_received = 0;
    bool m_headers = false;
    QString m_error;
};
