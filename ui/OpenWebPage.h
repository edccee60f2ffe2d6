#pragma once

#include <QWidget>
#include <functional>
#include <string>

namespace tarnix {

// Starts the desktop's browser on an address; false when nothing could be started.
using UrlOpenFn = std::function<bool(const std::string& url)>;

// The maker's web page, behind every Logo and the about box's address.
inline constexpr const char* MakerWebAddress = "https://tarnix.example.org";
inline constexpr const char* MakerWebAddressText = "tarnix.example.org";

// Opens the maker's web page. A browser that cannot be started gets "Unable to launch Browser.";
// any error on the way gets the program error box; either way the program goes on.
void OpenWebPage(QWidget* owner, const std::string& programTitle, const UrlOpenFn& openUrl);

// "A program error has occured" with the error's number and description.
void ProgramErrorBox(QWidget* owner, const std::string& programTitle, long number,
                     const std::string& description);

} // namespace tarnix
