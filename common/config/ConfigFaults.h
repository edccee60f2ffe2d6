#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/config/ConfigRecord.h"

namespace tarnix {

// The range the start-up check holds a number key to, from the configuration's schema. The
// reader quotes it too, for a number that does not even fit its field.
struct NumberLimits {
    std::string_view key;
    std::int32_t lowest;
    std::int32_t highest;
};

// The limits of a number key; an unknown key has none, so every value is outside them.
NumberLimits LimitsOf(std::string_view key);

// "it must be from 5 to 600"
std::string MustBeText(const NumberLimits& limits);

// Where the last read found the key, or nothing when it was not read from a file.
const KeySource* SourceOf(const ConfigRecord& record, std::string_view key);

// "CPUDelay (line 20)", or the bare key when it was not read from a file.
std::string KeyAndLine(const ConfigRecord& record, std::string_view key);

} // namespace tarnix
