#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "platform/UrlOpener.h"

namespace tarnix {

// Starts the desktop's browser on an address without waiting for it, and tells `done` later
// whether it could (OpenUrlInBrowser in production).
using UrlOpenFn = std::function<void(const std::string& url, OpenDone done)>;

// The maker's web page, behind every Logo and the about box's address.
inline constexpr const char* MakerWebAddress = "https://tarnix.example.org";
inline constexpr const char* MakerWebAddressText = "tarnix.example.org";

// Opens the maker's web page. A browser that cannot be started, or an opener that fails, gets
// "Unable to launch Browser." when that is known; any error on the way gets the program error
// box; either way the program goes on.
void OpenWebPage(QWidget* owner, const std::string& programTitle, const UrlOpenFn& openUrl);

// "A program error has occured" with the error's number and description.
void ProgramErrorBox(QWidget* owner, const std::string& programTitle, long number,
                     const std::string& description);

} // namespace tarnix
