#pragma once

#include <filesystem>
#include <functional>

namespace tarnix {

// What the programs ask of the user's session besides their windows.
class UserDesktop {
public:
    virtual ~UserDesktop() = default;
    // Whether the user administers this computer; any doubt answers false.
    virtual bool IsAdministrator() = 0;
    // Opens a text file in the desktop's viewer for plain text without waiting for it. False
    // when nothing could be started at all; `failed` runs later when the viewer could not open it.
    virtual bool OpenTextFile(const std::filesystem::path& file, std::function<void()> failed) = 0;
};

} // namespace tarnix
