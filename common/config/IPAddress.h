#pragma once

#include <string_view>

namespace tarnix {

// True for a dotted IPv4 address as the configuration accepts it: digits and exactly three
// dots, four non-empty parts, the first part 1..255 and the others 0..255, leading zeros
// allowed ("010" is 10). Anything else, the empty text included, is false. Never throws.
bool IsValidIPAddress(std::string_view text);

// The original, stricter test: the same form, but every part 1..255, so "192.168.0.5"
// fails it. Domain-name mode refuses only what passes this test, so that every file that once
// loaded still loads.
bool IsStrictIPAddress(std::string_view text);

} // namespace tarnix
