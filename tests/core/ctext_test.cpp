// C-runtime number reading, locale-free formatting and the camera code page.
#include "core/common/CText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(CText, NumbersReadAsTheCRuntimeReadsThem) {
    EXPECT_EQ(CAtoi("  -42abc"), -42);
    EXPECT_EQ(CAtoi("+7"), 7);
    EXPECT_EQ(CAtoi("abc"), 0);
    EXPECT_EQ(CAtoi(""), 0);
    EXPECT_EQ(CAtoi("99999999999999999999"), INT32_MAX); // clamped, not undefined
    EXPECT_EQ(CAtoi("-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(CAtoi("02"), 2);

    EXPECT_DOUBLE_EQ(CAtof(" 3723.2475"), 3723.2475);
    EXPECT_DOUBLE_EQ(CAtof("-1.5e2x"), -150.0);
    EXPECT_DOUBLE_EQ(CAtof(".5"), 0.5);
    EXPECT_EQ(CAtof("--1"), 0.0);
    EXPECT_EQ(CAtof("x"), 0.0);
    EXPECT_TRUE(std::isinf(CAtof("1e999")));
    EXPECT_EQ(CAtof("1e-999"), 0.0);
}

TEST(CText, FixedFormatIsPrintfsWithoutLocale) {
    EXPECT_EQ(FormatFixed6(1.2578125), "1.257812"); // ties to even, as printf
    EXPECT_EQ(FormatFixed6(-0.0000004), "-0.000000");
    EXPECT_EQ(FormatFixed(5.146, 2), "5.15");
    EXPECT_EQ(FormatFixed(84.4f, 1), "84.4");
    EXPECT_EQ(FormatFixed6(1e300).size(), 301u + 7u);
}

TEST(CText, CodePageConversionNeverFailsAndNeverSplitsCharacters) {
    ASSERT_EQ(CameraCodePage(), "CP949");
    const std::string hangul = "\xED\x95\x9C\xEA\xB8\x80"; // two syllables
    std::string bytes = ToCameraCodePage(hangul);
    EXPECT_EQ(bytes.size(), 4u);
    EXPECT_EQ(FromCameraCodePage(bytes), hangul);
    EXPECT_EQ(ToCameraCodePage(hangul, 3).size(), 2u);            // the second syllable does not fit
    EXPECT_EQ(ToCameraCodePage("ab\xF0\x9F\x98\x80", 10), "ab?"); // no such character in CP949
    EXPECT_EQ(FromCameraCodePage(std::string("a\xFF", 2)), "a\xEF\xBF\xBD");

    SetCameraCodePage("ISO-8859-1");
    EXPECT_EQ(FromCameraCodePage("\xE9"), "\xC3\xA9");
    SetCameraCodePage("CP949");
    EXPECT_EQ(FieldText("abc\0def", 7), "abc");
    EXPECT_EQ(FieldText("abcdefg", 3), "abc");
}

} // namespace
