#pragma once

#include <string_view>

namespace tarnix {

// True for a dotted IPv4 address as the configuration accepts it: digits and exactly three
// dots, four non-empty parts, the first part 1..255 and the others 0..255, leading zeros
// allowed ("010" is 10). Anything else, the empty text included, is false. Never throws.
bool IsValidIPAddress(std::string_view text);

} // namespace tarnix
