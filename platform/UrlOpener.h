#pragma once

#include <functional>
#include <string>

namespace tarnix {

// Called once, after the call that was given it has returned: false when nothing could be
// started, or when the desktop's opener ended with a failure (no browser, say).
using OpenDone = std::function<void(bool opened)>;

// Both start the desktop's handler (xdg-open, or the desktop services of the running GUI when
// xdg-open is missing) without waiting for it: the window goes on while the opener runs. Our
// descriptors are close-on-exec, so the started program never inherits the instance mutex.
void OpenUrlInBrowser(const std::string& url, OpenDone done);

// Opens an existing file in the desktop's application for its type (a text editor for the
// log); a relative path is taken from the working folder.
void OpenFileInEditor(const std::string& path, OpenDone done);

} // namespace tarnix
