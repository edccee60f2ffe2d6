#pragma once

#include "common/program/UserDesktop.h"

namespace tarnix {

// The user's session on Linux: the administrators' groups and the desktop's opener.
class LinuxDesktop : public UserDesktop {
public:
    bool IsAdministrator() override;
    bool OpenTextFile(const std::filesystem::path& file, std::function<void()> failed) override;
};

} // namespace tarnix
