#include "common/supervision/PowerActions.h"

#include <iomanip>
#include <sstream>

namespace tarnix {

FatalError PowerErrorBox(const PowerActionError& error) {
    std::ostringstream number;
    number << "0x" << std::hex << std::uppercase << std::setw(8) << std::setfill('0') << error.Number;
    return FatalError{
        .titleSuffix = "",
        .icon = BoxIcon::Error,
        .lines = {"Run-time error " + number.str() + " (" + error.Source + ")", "", error.Description}};
}

} // namespace tarnix
