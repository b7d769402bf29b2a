#include "core/trackdata/TrackData.h"

#include "core/common/CText.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <string>

namespace {

constexpr size_t kWorkBufferSize = 1024; // a sentence is read through a buffer of this size

// Fields of a sentence: leading commas skipped, then split at every comma (empty fields count).
std::vector<std::string_view> splitSentence(std::string_view text, size_t maxFields) {
    text = text.substr(0, std::min(text.size(), kWorkBufferSize - 1));
    if (auto zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    size_t start = text.find_first_not_of(',');
    if (start == std::string_view::npos)
        return {};
    return SplitText(text.substr(start), ',', maxFields);
}

// Two characters from `pos` read as a decimal number (atoi rules, so "1" or "x" read naturally).
int32_t twoDigits(std::string_view field, size_t pos) {
    if (pos >= field.size())
        return 0;
    return CAtoi(field.substr(pos, 2));
}

char firstChar(std::string_view field) {
    return field.empty() ? '\0' : field.front();
}

// Fields 1..9 shared by both GPS sample kinds. Returns the number of fields read (0..10).
template <typename Sample, typename SpeedFn>
size_t readCommonFields(Sample& s, const std::vector<std::string_view>& f, SpeedFn storeSpeed) {
    for (size_t i = 1; i < f.size() && i <= 9; ++i) {
        std::string_view v = f[i];
        switch (i) {
        case 1:
            s.hour = twoDigits(v, 0) + 9;
            s.minute = twoDigits(v, 2);
            s.second = twoDigits(v, 4);
            break;
        case 2:
            s.valid = firstChar(v) == 'A' ? 1 : 0;
            break;
        case 3:
            s.latitude = CAtof(v);
            break;
        case 4:
            if (firstChar(v) != 'N')
                s.latitude = -s.latitude;
            break;
        case 5:
            s.longitude = CAtof(v);
            break;
        case 6:
            if (firstChar(v) != 'E')
                s.longitude = -s.longitude;
            break;
        case 7:
            storeSpeed(static_cast<float>(CAtof(v)));
            break;
        case 8:
            s.course = static_cast<double>(static_cast<float>(CAtof(v)));
            break;
        case 9:
            s.day = twoDigits(v, 0);
            s.month = twoDigits(v, 2);
            s.year = twoDigits(v, 4);
            break;
        }
    }
    return std::min<size_t>(f.size(), 10);
}

uint8_t byteAt(std::span<const uint8_t> r, size_t i) {
    return i < r.size() ? r[i] : 0;
}
uint16_t wordAt(std::span<const uint8_t> r, size_t i) {
    return static_cast<uint16_t>(byteAt(r, i) | (byteAt(r, i + 1) << 8));
}

std::string_view recordText(std::span<const uint8_t> r) {
    return std::string_view(reinterpret_cast<const char*>(r.data()), r.size());
}

} // namespace

bool CGpsData::ParseSentence(std::string_view record) {
    reserved = 0;
    auto fields = splitSentence(record, 14);
    readCommonFields(*this, fields, [this](float knots) { speed = knots; });
    if (fields.size() > 13) {
        std::string_view ev = fields[13];
        // An empty field is "no event" too: a zero character would reach the page as a mark.
        if (!ev.empty() && ev.front() != '0')
            event = ev.front();
    }
    if (fields.size() < 14)
        return false;

    std::tm tm{};
    tm.tm_year = (year < 70 ? 2000 + year : 1900 + year) - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    time = static_cast<int64_t>(t);
    return true;
}

CGsensorData MakeGsensorSample(uint8_t byte1, uint8_t byte2, uint8_t byte3, int32_t range) {
    float d = 16.0f;
    switch (range) {
    case 2:
        d = -64.0f;
        break;
    case 4:
        d = -32.0f;
        break;
    case 8:
        d = -16.0f;
        break;
    }
    CGsensorData s;
    s.x = static_cast<float>(128 - byte1) / d;
    s.y = static_cast<float>(128 - byte2) / d;
    s.z = static_cast<float>(128 - byte3) / d;
    float xx = s.x * s.x;
    float yy = s.y * s.y;
    float zz = s.z * s.z;
    float sum = xx + yy;
    sum = sum + zz;
    s.magnitude = std::sqrt(sum);
    s.range = range;
    return s;
}

int CWBCTextData::AddRecord(uint32_t timestampMs, std::span<const uint8_t> record) {
    if (record.empty())
        return 0;
    switch (record[0]) {
    case '2':
    case '4':
    case '8':
    case 'M':
        m_gsensor.push_back(
            {128 - byteAt(record, 1), 128 - byteAt(record, 2), 128 - byteAt(record, 3), 0, timestampMs});
        break;
    case 'S': {
        uint8_t code = byteAt(record, 1);
        uint16_t wx = wordAt(record, 2), wy = wordAt(record, 4), wz = wordAt(record, 6);
        if (code == 8)
            m_gsensor.push_back({128 - (wx & 0xFF), 128 - (wy & 0xFF), 128 - (wz & 0xFF), 1, timestampMs});
        else if (code == 10)
            m_gsensor.push_back({512 - (wx & 0x3FF), 512 - (wy & 0x3FF), 512 - (wz & 0x3FF), 2, timestampMs});
        // Other resolution codes have no known conversion.
        break;
    }
    case '$': {
        CWBCGPSData s;
        auto fields = splitSentence(recordText(record), 10);
        readCommonFields(s, fields, [&s](float knots) {
            float kmh = knots * 1.852f;
            s.speed = kmh;
        });
        s.timestampMs = timestampMs;
        m_gps.push_back(s);
        break;
    }
    default:
        break;
    }
    return 0;
}

void CWBCTextData::Clear() {
    m_gsensor.clear();
    m_gps.clear();
}

const CWBCGPSData* CWBCTextData::FindGpsAfter(uint32_t positionMs) const {
    for (const auto& s : m_gps)
        if (s.timestampMs > positionMs)
            return &s;
    return nullptr;
}

int SampleIndexForPosition(int64_t positionMs, size_t count, int64_t rangeMs) {
    if (count == 0)
        return -1;
    if (rangeMs <= 0 || positionMs <= 0)
        return 0;
    // 128-bit product: positions and counts are small, but a wild position must not overflow.
    __int128 index = static_cast<__int128>(positionMs) * static_cast<__int128>(count) / rangeMs;
    if (index >= static_cast<__int128>(count))
        return static_cast<int>(count - 1);
    return static_cast<int>(index);
}

SampleTimeline::SampleTimeline(std::span<const uint32_t> timesMs, size_t count, int64_t rangeMs)
    : m_times(timesMs), m_count(count), m_range(std::max<int64_t>(0, rangeMs)),
      m_byTime(count > 0 && timesMs.size() == count) {
    if (!m_byTime) {
        m_drawn = count;
        return;
    }
    // Records come in time order; one that jumps back (a damaged time stamp) does not end the run.
    while (m_drawn < count && static_cast<int64_t>(m_times[m_drawn]) <= m_range)
        ++m_drawn;
}

int64_t SampleTimeline::timeOf(size_t i) const {
    if (m_byTime)
        return i < m_count ? static_cast<int64_t>(m_times[i]) : m_range;
    if (m_count <= 1)
        return 0;
    return static_cast<int64_t>(static_cast<__int128>(i) * m_range / static_cast<__int128>(m_count - 1));
}

int SampleTimeline::indexAt(int64_t positionMs) const {
    if (!m_byTime)
        return SampleIndexForPosition(std::max<int64_t>(0, positionMs), m_count, m_range);
    if (m_drawn == 0)
        return -1;
    const auto begin = m_times.begin(), end = m_times.begin() + static_cast<std::ptrdiff_t>(m_drawn);
    const auto after = std::upper_bound(begin, end, positionMs, [](int64_t p, uint32_t t) {
        return p < static_cast<int64_t>(t);
    });
    return static_cast<int>(after == end ? m_drawn - 1 : after - begin);
}
