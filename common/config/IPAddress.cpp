#include "common/config/IPAddress.h"

#include "common/base/LenientNumber.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace tarnix {
namespace {

constexpr std::size_t PartCount = 4;

// The value of a run of digits, held at 256 once it passes 255 so that a part of any length
// (leading zeros included) is read without overflow.
int PartValue(std::string_view digits) {
    int value = 0;
    for (char c : digits)
        value = std::min(value * 10 + (c - '0'), 256);
    return value;
}

// Four dotted parts of digits, each within lowestLaterPart (1 for the first part)..255.
bool IsDottedAddress(std::string_view text, int lowestLaterPart) {
    if (text.empty() || text.front() == '.' || text.back() == '.') return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c == '.' || IsDigit(c); })) return false;
    if (std::count(text.begin(), text.end(), '.') != PartCount - 1) return false;

    std::array<std::string_view, PartCount> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < PartCount; ++i) {
        const std::size_t dot = std::min(text.find('.', start), text.size());
        parts[i] = text.substr(start, dot - start);
        start = dot + 1;
    }
    for (std::size_t i = 0; i < PartCount; ++i) {
        if (parts[i].empty()) return false;
        const int lowest = i == 0 ? 1 : lowestLaterPart;
        const int value = PartValue(parts[i]);
        if (value < lowest || value > 255) return false;
    }
    return true;
}

} // namespace

bool IsValidIPAddress(std::string_view text) {
    return IsDottedAddress(text, 0);
}

bool IsStrictIPAddress(std::string_view text) {
    return IsDottedAddress(text, 1);
}

} // namespace tarnix
