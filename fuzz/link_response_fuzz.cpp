// Fuzzes the handling of a link server's answer: a redirect target, a Content-Length, the link's
// size field and the body arriving in pieces. Whatever arrives, a kept body has exactly the size
// both announce, nothing past a size (or the cap) is taken, and only web addresses are followed.
#include "core/network/DownloadCheck.h"

#include <QByteArray>
#include <QUrl>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

uint64_t take64(const uint8_t*& data, size_t& size) {
    uint64_t v = 0;
    const size_t n = size < 8 ? size : 8;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t flags = data[0];
    const size_t textLength = std::min<size_t>(data[1], size - 2);
    const QByteArray location(reinterpret_cast<const char*>(data + 2), qsizetype(textLength));
    data += 2 + textLength;
    size -= 2 + textLength;

    const QUrl from(QStringLiteral("http://127.0.0.1/r.qmv"));
    const QUrl to(QString::fromUtf8(location));
    const QString refusal = DownloadCheck::redirectRefusal(from, to);
    const QString scheme = from.resolved(to).scheme().toLower();
    if (refusal.isEmpty() && !from.resolved(to).isEmpty() && scheme != u"http" && scheme != u"https")
        std::abort(); // a redirect off the web would be followed

    // Small sizes, so the fuzzer reaches the ends of bodies.
    const int64_t linkSize = (flags & 1) ? int64_t(take64(data, size) % 4096) : 0;
    const std::optional<int64_t> contentLength =
        (flags & 2) ? std::optional<int64_t>(int64_t(take64(data, size) % 4096)) : std::nullopt;
    const int64_t cap = 3000;
    DownloadCheck check(linkSize, cap);
    bool ok = check.takeHeaders(contentLength);
    int64_t sent = 0;
    while (ok && size > 0) {
        const int64_t piece = data[0] * 7;
        ++data;
        --size;
        sent += piece;
        ok = check.addBytes(piece);
    }
    if (ok)
        ok = check.finish();
    if (ok) {
        if (contentLength && linkSize > 0 && *contentLength != linkSize)
            std::abort(); // kept although the server and the link disagree
        const int64_t expected = contentLength ? *contentLength : linkSize > 0 ? linkSize : -1;
        if (expected >= 0 && sent != expected)
            std::abort(); // a short or long body kept
        if (expected < 0 && sent > cap)
            std::abort(); // past the cap
    }
    if (check.received() > (check.expected() >= 0 ? check.expected() : cap))
        std::abort(); // more counted than may be taken
    return 0;
}
