#include "common/base/TimeStamp.h"

#include <array>

namespace tarnix {

std::string FormatTimeStamp(const std::tm& time) {
    std::array<char, 128> buffer{};
    const std::size_t length = std::strftime(buffer.data(), buffer.size(), "%d-%b-%y %H:%M:%S", &time);
    return std::string(buffer.data(), length);
}

} // namespace tarnix
