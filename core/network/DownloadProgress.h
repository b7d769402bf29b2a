// The percentages a download reports: the body is counted in pieces of at most 199,926 bytes and a
// percentage of the expected size is reported whenever more than 1 MiB has arrived since the last
// report. Only the finished download reports 100.
#pragma once

#include <cstdint>
#include <optional>

class DownloadProgress {
public:
    static constexpr int64_t kPieceBytes = 199'926;
    static constexpr int64_t kReportBytes = 1'048'576;

    explicit DownloadProgress(int64_t expectedBytes) : m_expected(expectedBytes) {}

    // Counts one piece (at most kPieceBytes); the percentage to report, if any. An intermediate
    // percentage is held to 0..99 (a wrong expected size must not claim the end early); with an
    // expected size of 0 it is 0.
    std::optional<int> addPiece(int64_t bytes);
    int64_t total() const { return m_total; }

private:
    int64_t m_expected;
    int64_t m_total = 0;
    int64_t m_sinceReport = 0;
};
