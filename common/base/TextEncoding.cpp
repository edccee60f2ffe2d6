#include "common/base/TextEncoding.h"

#include <array>
#include <cstdint>

namespace tarnix {
namespace {

// Where Windows-1252 differs from Latin-1: the bytes 0x80..0x9F.
constexpr std::array<char32_t, 32> Bytes80To9F = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The bytes of the control character that starts at `at`: one for C0 and DEL, two for C1,
// none for anything else.
std::size_t ControlCharacterLength(std::string_view utf8, std::size_t at) {
    const auto byte = static_cast<std::uint8_t>(utf8[at]);
    if (byte < 0x20 || byte == 0x7F) return 1;
    if (byte != 0xC2 || at + 1 >= utf8.size()) return 0;
    const auto next = static_cast<std::uint8_t>(utf8[at + 1]);
    return next >= 0x80 && next <= 0x9F ? 2 : 0;
}

// U+0080..U+009F are C2 80..C2 9F, so the second byte is the code.
std::string Escaped(std::string_view control) {
    constexpr std::string_view Hex = "0123456789ABCDEF";
    const auto code = static_cast<std::uint8_t>(control.back());
    std::string text = control.size() == 1 ? "\\x" : "\\u00";
    text += Hex[code >> 4];
    text += Hex[code & 0x0F];
    return text;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<std::uint8_t>(bytes[i]);
        std::size_t length = 0;
        char32_t c = 0;
        char32_t lowest = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, c = lead & 0x1F, lowest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, c = lead & 0x0F, lowest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, c = lead & 0x07, lowest = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < lowest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char byte : bytes) {
        const auto b = static_cast<std::uint8_t>(byte);
        AppendUtf8(b >= 0x80 && b < 0xA0 ? Bytes80To9F[b - 0x80] : char32_t{b}, out);
    }
    return out;
}

std::string StoredTextToUtf8(std::string_view bytes) {
    return IsValidUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

std::string EscapeControlCharacters(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = ControlCharacterLength(utf8, i);
        if (length == 0) {
            out += utf8[i++];
            continue;
        }
        out += Escaped(utf8.substr(i, length));
        i += length;
    }
    return out;
}

std::string FirstControlCharacter(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i)
        if (const std::size_t length = ControlCharacterLength(utf8, i); length != 0)
            return Escaped(utf8.substr(i, length));
    return {};
}

} // namespace tarnix
