#include "common/link/Datagram.h"

#include "common/base/LenientNumber.h"

namespace tarnix {
namespace {

constexpr std::size_t FrameLength = 8; // "<TN", letter, digit, two length digits, ">"

std::string_view CommandField(std::string_view wellFormed) {
    return wellFormed.size() >= 5 ? wellFormed.substr(3, 2) : std::string_view{};
}

// A field of plain digits, as every datagram the programs send has, reads without the lenient
// reader; anything else reads as the lenient reader says.
double FieldNumber(std::string_view field) {
    double value = 0;
    for (char c : field) {
        if (!IsDigit(c)) return LeadingNumber(field);
        value = value * 10 + (c - '0');
    }
    return field.empty() ? LeadingNumber(field) : value;
}

} // namespace

bool IsWellFormed(std::string_view datagram) {
    if (datagram.size() < FrameLength) return false;
    if (datagram.back() != '>' || !datagram.starts_with("<TN")) return false;
    // A datagram can be up to 64 KiB, far beyond what two digits can count; the comparison in
    // double keeps such lengths exact instead of narrowing them.
    const double payloadLength = static_cast<double>(datagram.size() - FrameLength);
    return FieldNumber(datagram.substr(5, 2)) == payloadLength;
}

std::string StatusReply(char actionLetter, int phase) {
    return std::string("<TN") + actionLetter + std::to_string(phase) + "00>";
}

char TypeLetter(std::string_view wellFormed) {
    return wellFormed.size() >= 4 ? wellFormed[3] : '\0';
}

double StateDigitValue(std::string_view wellFormed) {
    return wellFormed.size() >= 5 ? FieldNumber(wellFormed.substr(4, 1)) : 0.0;
}

bool IsResetCommand(std::string_view wellFormed) {
    return CommandField(wellFormed) == "C0";
}
bool IsTestCommand(std::string_view wellFormed) {
    return CommandField(wellFormed) == "T0";
}

} // namespace tarnix
