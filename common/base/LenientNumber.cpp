#include "common/base/LenientNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tarnix {
namespace {

// The characters of the leading number with the spaces taken out, in a form strtod reads;
// empty when the text does not begin with a number.
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
    if (!digits) return {};
    if (i < squeezed.size() && (squeezed[i] == 'e' || squeezed[i] == 'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < squeezed.size() && (squeezed[j] == '+' || squeezed[j] == '-'))
            exponent.push_back(squeezed[j++]);
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

// The power of ten of the leading digit of a number in the form built above; what tells a
// number too large for a double from one too small when the conversion cannot hold either.
long long DecimalExponent(const std::string& number) {
    const std::size_t start = number.front() == '-' ? 1 : 0;
    const std::size_t e = number.find('e');
    const std::string mantissa = number.substr(start, e == std::string::npos ? std::string::npos : e - start);
    const std::size_t dot = mantissa.find('.');
    const std::string whole = mantissa.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : mantissa.substr(dot + 1);
    long long exponent = 0;
    const std::size_t firstWhole = whole.find_first_not_of('0');
    if (firstWhole != std::string::npos) {
        exponent = static_cast<long long>(whole.size() - firstWhole) - 1;
    } else {
        const std::size_t firstFraction = fraction.find_first_not_of('0');
        if (firstFraction == std::string::npos) return std::numeric_limits<long long>::min(); // zero
        exponent = -static_cast<long long>(firstFraction) - 1;
    }
    if (e == std::string::npos) return exponent;
    std::size_t i = e + 1;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
    long long written = 0;
    for (; i < number.size(); ++i)
        written = std::min(written * 10 + (number[i] - '0'), 1'000'000'000LL);
    return exponent + (negative ? -written : written);
}

} // namespace

double LeadingNumber(std::string_view text) {
    std::string number = LeadingNumberText(text);
    if (number.empty()) return 0.0;
    // from_chars ignores the locale (a decimal comma locale must not change the reading) but
    // takes no plus sign.
    if (!number.empty() && number.front() == '+') number.erase(0, 1);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (error != std::errc::result_out_of_range) return value;
    if (DecimalExponent(number) < 0) return 0.0; // too small to tell from zero
    return number.front() == '-' ? -std::numeric_limits<double>::infinity()
                                 : std::numeric_limits<double>::infinity();
}

bool HasLeadingNumber(std::string_view text) {
    return !LeadingNumberText(text).empty();
}

std::optional<std::int16_t> ToInt16(double value) {
    return RoundInto<std::int16_t>(value);
}
std::optional<std::int32_t> ToInt32(double value) {
    return RoundInto<std::int32_t>(value);
}

} // namespace tarnix
