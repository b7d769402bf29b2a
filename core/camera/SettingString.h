// The setup page's setting string ("|"-separated values 0..86) and the ordered page calls that show
// a setup record on the page. Data only: the setup window turns each PageCall into a script call.
// Used by the setup window, the stored "setting" value and their tests.
#pragma once

#include "core/camera/SetupRecord.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

constexpr int kSettingStringValues = 87;

// Parses `text` (UTF-8) into `record`: starts from the defaults, stores values 0..86, then applies
// the forced values and the LED rule. Missing values read as empty (numbers 0, texts empty).
void ParseSettingString(std::string_view text, SetupRecord& record);

// One argument of a page call: an integer or a text, as the page function expects it.
using PageArg = std::variant<int64_t, std::string>;

struct PageCall {
    std::string function;
    std::vector<PageArg> args;
    bool operator==(const PageCall&) const = default;
};

// The calls that show `record` on the page, in order. Applies the show-time rules to the record
// itself (security LED, network, time ranges, slide5), as the page keeps those values.
std::vector<PageCall> PopulateCalls(SetupRecord& record);

// The setting string the page would send back for `record` (inverse of the parse for the shown
// fields); used to seed the stored setting and by tests.
std::string MakeSettingString(const SetupRecord& record);
