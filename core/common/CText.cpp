#include "core/common/CText.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

bool isCBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::mutex g_codePageMutex;
std::string g_codePage = "CP949";

class Iconv {
public:
    Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // Converts `in` completely; returns false when a sequence is invalid or incomplete.
    bool convert(std::string_view in, std::string& out) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[256];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof(buffer);
            size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst - buffer);
            if (r == static_cast<size_t>(-1) && errno != E2BIG)
                return false;
        }
        char* dst = buffer;
        size_t dstLeft = sizeof(buffer);
        iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        return true;
    }

private:
    iconv_t m_cd;
};

// Descriptors are costly to open; each thread keeps one pair for the code page in force.
Iconv& converter(bool toCamera) {
    thread_local std::string name;
    thread_local std::unique_ptr<Iconv> to, from;
    std::string current = CameraCodePage();
    if (!to || current != name) {
        name = current;
        to = std::make_unique<Iconv>(current.c_str(), "UTF-8");
        from = std::make_unique<Iconv>("UTF-8", current.c_str());
    }
    return toCamera ? *to : *from;
}

// Length of the UTF-8 sequence starting with `lead` (1 for stray bytes, so progress is guaranteed).
size_t utf8Length(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Position after the leading blanks and the optional sign that atoi and strtod both accept.
size_t skipBlanksAndSign(std::string_view text, bool& negative) {
    size_t i = 0;
    while (i < text.size() && isCBlank(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    return i;
}

} // namespace

int32_t CAtoi(std::string_view text) {
    bool negative;
    size_t i = skipBlanksAndSign(text, negative);
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1)
            value = int64_t(INT32_MAX) + 1; // keep going without overflowing
    }
    if (negative)
        value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

double CAtof(std::string_view text) {
    bool negative;
    const size_t i = skipBlanksAndSign(text, negative);
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return 0.0; // "--1" is not a number for strtod
    double value = 0.0;
    const std::errc ec = std::from_chars(text.data() + i, text.data() + text.size(), value).ec;
    if (ec == std::errc::result_out_of_range) {
        // strtod saturates: huge values become infinity, tiny ones zero.
        const char* p = text.data() + i;
        const char* end = text.data() + text.size();
        bool tiny = false;
        const char* e = std::find_if(p, end, [](char c) { return c == 'e' || c == 'E'; });
        if (e != end && e + 1 < end && e[1] == '-')
            tiny = true;
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::string FormatFixed6(double value) {
    return FormatFixed(value, 6);
}

std::string FormatFixed(double value, int decimals) {
    char buffer[400]; // DBL_MAX has 309 integer digits
    decimals = std::clamp(decimals, 0, 17);
    auto [ptr, ec] =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, ptr);
}

void SetCameraCodePage(const std::string& iconvName) {
    std::lock_guard lock(g_codePageMutex);
    g_codePage = iconvName;
}

std::string CameraCodePage() {
    std::lock_guard lock(g_codePageMutex);
    return g_codePage;
}

std::string FromCameraCodePage(std::string_view bytes) {
    // Camera code pages are ASCII-compatible; most texts (numbers, English names) need no iconv.
    if (isAscii(bytes))
        return std::string(bytes);
    std::string out;
    Iconv& cd = converter(false);
    if (!cd.ok() || !cd.convert(bytes, out)) {
        // Convert piecewise so one bad byte costs one replacement character, not the whole text.
        out.clear();
        size_t i = 0;
        while (i < bytes.size()) {
            bool done = false;
            for (size_t len = 1; len <= 4 && i + len <= bytes.size() && cd.ok(); ++len) {
                std::string piece;
                if (cd.convert(bytes.substr(i, len), piece)) {
                    out += piece;
                    i += len;
                    done = true;
                    break;
                }
            }
            if (!done) {
                unsigned char c = static_cast<unsigned char>(bytes[i]);
                out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("\xEF\xBF\xBD");
                ++i;
            }
        }
    }
    return out;
}

std::string ToCameraCodePage(std::string_view utf8, size_t maxBytes) {
    if (isAscii(utf8))
        return std::string(utf8.substr(0, std::min(maxBytes, utf8.size())));
    std::string out;
    Iconv& cd = converter(true);
    if (cd.ok() && cd.convert(utf8, out) && out.size() <= maxBytes)
        return out;
    out.clear();
    size_t i = 0;
    while (i < utf8.size()) {
        size_t len = std::min(utf8Length(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        std::string piece;
        if (!cd.ok() || !cd.convert(utf8.substr(i, len), piece))
            piece.assign(1, '?');
        if (out.size() + piece.size() > maxBytes)
            break;
        out += piece;
        i += len;
    }
    return out;
}

std::vector<std::string_view> SplitText(std::string_view text, char separator, size_t maxFields) {
    std::vector<std::string_view> fields;
    while (fields.size() < maxFields) {
        size_t at = text.find(separator);
        fields.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            break;
        text.remove_prefix(at + 1);
    }
    return fields;
}

std::string_view FieldText(const char* field, size_t size) {
    const void* zero = std::memchr(field, 0, size);
    return std::string_view(field, zero ? static_cast<const char*>(zero) - field : size);
}
