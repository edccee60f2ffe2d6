#pragma once

#include <ctime>
#include <string>

namespace tarnix {

// "dd-mmm-yy hh:mm:ss": two-digit day, the locale's abbreviated month name, two-digit year,
// 24-hour time. The month name follows the C library's LC_TIME locale, which the programs take
// from the environment at start-up.
std::string FormatTimeStamp(const std::tm& time);

} // namespace tarnix
