#pragma once

#include <string>

namespace tarnix {

// Both start the desktop's handler without waiting for it (xdg-open, or the desktop services
// of the running GUI when xdg-open is missing) and return false when nothing could be started.
// Our descriptors are close-on-exec, so the started program never inherits the instance mutex.
bool OpenUrlInBrowser(const std::string& url);

// Opens an existing file in the desktop's application for its type (a text editor for the
// log); a relative path is taken from the working folder.
bool OpenFileInEditor(const std::string& path);

} // namespace tarnix
