// Text rules of the camera's files: C-runtime number reading (atoi/strtod as the camera firmware and
// the setup page expect them, but independent of the process locale), locale-free "%f" formatting,
// and conversion between UTF-8 and the code page the camera writes its texts in.
// Used by the track data, the setup record, the setting string and the event-log export.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Decimal integer as C atoi reads it: leading blanks, optional sign, digits; no digits gives 0.
// Values beyond the 32-bit range are clamped instead of overflowing.
int32_t CAtoi(std::string_view text);
// Floating-point number as C strtod reads it (leading blanks, sign, decimal or exponent form,
// "inf"/"nan"); no number gives 0. Always uses "." as the decimal point.
double CAtof(std::string_view text);
// printf("%f") with six decimals, always with "." whatever the process locale.
std::string FormatFixed6(double value);
// The same with `decimals` decimals (0..17), rounded as printf rounds.
std::string FormatFixed(double value, int decimals);

// Code page of the texts inside camera files (default "CP949", which is ASCII for English texts).
void SetCameraCodePage(const std::string& iconvName);
std::string CameraCodePage();

// Bytes in the camera code page -> UTF-8. Undecodable bytes become U+FFFD; never fails.
std::string FromCameraCodePage(std::string_view bytes);
// UTF-8 -> camera code page, at most `maxBytes` bytes, never cutting a character in two.
// Characters the code page lacks become "?".
std::string ToCameraCodePage(std::string_view utf8, size_t maxBytes = SIZE_MAX);

// `text` cut at every `separator` into at most `maxFields` pieces (empty pieces count; the last
// piece ends at the next separator and the rest of the text is dropped).
std::vector<std::string_view> SplitText(std::string_view text, char separator, size_t maxFields = SIZE_MAX);

// Zero-terminated text inside a fixed field: up to the first zero byte or the field's end.
std::string_view FieldText(const char* field, size_t size);
