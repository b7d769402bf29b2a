#include "core/network/DownloadProgress.h"

#include <algorithm>

std::optional<int> DownloadProgress::addPiece(int64_t bytes) {
    m_total += bytes;
    m_sinceReport += bytes;
    if (m_sinceReport <= kReportBytes)
        return std::nullopt;
    m_sinceReport = 0;
    if (m_expected <= 0)
        return 0;
    return static_cast<int>(std::clamp<int64_t>(m_total * 100 / m_expected, 0, 99));
}
