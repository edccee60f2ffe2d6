#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "common/program/MessageBox.h"

namespace tarnix {

// An error raised by the power actions. Nothing in the countdown catches it: the program shows
// its number and description and ends.
struct PowerActionError : std::runtime_error {
    PowerActionError(std::uint32_t number, std::string source, std::string description)
        : std::runtime_error(description), Number(number), Source(std::move(source)),
          Description(std::move(description)) {}
    std::uint32_t Number;
    std::string Source;
    std::string Description;
};

// The box a refused power action ends the program with: its number and source, then its
// description.
FatalError PowerErrorBox(const PowerActionError& error);

// The power-action module: shut down, reboot or power off (action code of shutdown flags), or
// suspend to disk or memory. Each call enables the shutdown privilege first. Failures are
// raised as PowerActionError.
class PowerActions {
public:
    virtual ~PowerActions() = default;
    virtual bool ShutdownSystem(std::int32_t actionCode) = 0;
    virtual bool HibernateSystem() = 0;
    virtual bool StandbySystem() = 0;
};

} // namespace tarnix
