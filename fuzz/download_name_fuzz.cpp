// Fuzzes the file name a "qmv:" link carries: whatever the link says, the stored name stays a plain
// name inside the target folder (no separator, no "..", no leading dot, no control character,
// bounded length).
#include "core/network/DownloadTarget.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString link = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString name = SafeDownloadName(link);
    bool bad = name.isEmpty() || name.contains(u'/') || name.contains(u'\\') ||
               name.contains(QLatin1String("..")) || name.startsWith(u'.') ||
               name.toUtf8().size() > kMaxDownloadNameBytes;
    for (const QChar c : name)
        bad = bad || c.unicode() < 0x20 || c.unicode() == 0x7f;
    if (bad)
        std::abort();
    return 0;
}
