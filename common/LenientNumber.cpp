#include "common/LenientNumber.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tarnix {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The characters of the leading number with the spaces taken out, in a form strtod reads.
std::string LeadingNumberText(std::string_view text) {
    std::string squeezed;
    squeezed.reserve(text.size());
    for (char c : text)
        if (c != ' ') squeezed.push_back(c);

    std::size_t i = 0;
    std::string number;
    if (i < squeezed.size() && (squeezed[i] == '+' || squeezed[i] == '-')) number.push_back(squeezed[i++]);
    bool digits = false;
    while (i < squeezed.size() && IsDigit(squeezed[i])) {
        number.push_back(squeezed[i++]);
        digits = true;
    }
    if (i < squeezed.size() && squeezed[i] == '.') {
        number.push_back(squeezed[i++]);
        while (i < squeezed.size() && IsDigit(squeezed[i])) {
            number.push_back(squeezed[i++]);
            digits = true;
        }
    }
    if (!digits) return "0";
    if (i < squeezed.size() && (squeezed[i] == 'e' || squeezed[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < squeezed.size() && (squeezed[j] == '+' || squeezed[j] == '-')) exponent.push_back(squeezed[j++]);
        bool exponentDigits = false;
        while (j < squeezed.size() && IsDigit(squeezed[j])) {
            exponent.push_back(squeezed[j++]);
            exponentDigits = true;
        }
        if (exponentDigits) number += exponent;
    }
    return number;
}

template <typename Int> std::optional<Int> RoundInto(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double rounded = std::nearbyint(value); // the default rounding mode rounds halves to even
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

} // namespace

double LeadingNumber(std::string_view text) {
    std::string number = LeadingNumberText(text);
    // from_chars ignores the locale (a decimal comma locale must not change the reading) but
    // takes no plus sign.
    if (!number.empty() && number.front() == '+') number.erase(0, 1);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range && number.find("e-") != std::string::npos) return 0.0;
    if (error == std::errc::result_out_of_range)
        return number.front() == '-' ? -std::numeric_limits<double>::infinity()
                                     : std::numeric_limits<double>::infinity();
    return value;
}

std::optional<std::int16_t> ToInt16(double value) { return RoundInto<std::int16_t>(value); }
std::optional<std::int32_t> ToInt32(double value) { return RoundInto<std::int32_t>(value); }

} // namespace tarnix
