#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnix {

// An ASCII digit, whatever the locale says (std::isdigit may accept more).
constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the number at the start of a text the lenient way the configuration file and the
// datagram length field need: spaces anywhere are ignored, a sign, a decimal point and an
// exponent are accepted, reading stops at the first character that cannot continue the
// number, and a text without a leading number reads as 0. A number too large for a double
// reads as infinity (and so fits no integer field).
double LeadingNumber(std::string_view text);

// Whether LeadingNumber finds a number at all, rather than reading the text as 0.
bool HasLeadingNumber(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour, and checks the field's width.
// Nothing when the value does not fit.
std::optional<std::int16_t> ToInt16(double value);
std::optional<std::int32_t> ToInt32(double value);

} // namespace tarnix
