#include "common/supervision/CountdownExpiry.h"

#include <utility>

#include "common/supervision/ShutType.h"

namespace tarnix {

CountdownExpiry::CountdownExpiry(std::string programTitle, const ConfigRecord& config,
                                 std::function<void()> holdTicks, MessageBoxes& boxes, PowerActions& power,
                                 Supervision& supervision, SupervisionLog& log)
    : programTitle_(std::move(programTitle)), config_(config), holdTicks_(std::move(holdTicks)),
      boxes_(boxes), power_(power), supervision_(supervision), log_(log) {}

ExpiryEnd CountdownExpiry::Act() {
    const std::string& name = supervision_.ShutTypeName();
    const bool suspends = config_.ShutType > ShutMonitor;
    if (supervision_.InhibitShutdown()) {
        LogAtNormal(log_, config_, name, "Simulate");
        ShowSimulationBox();
    } else {
        LogAtNormal(log_, config_, "Start", name);
        switch (config_.ShutType) {
        case ShutPowerOff:
        case ShutReboot:
        case ShutShutdown:
            power_.ShutdownSystem(ActionCode(config_.ShutType));
            break;
        default:
            break;
        }
    }
    if (suspends) return ExpiryEnd::ComputerSuspends;
    LogAtNormal(log_, config_, "Close", name);
    return ExpiryEnd::ProgramCloses;
}

void CountdownExpiry::Suspend() {
    const std::string& name = supervision_.ShutTypeName();
    if (!supervision_.InhibitShutdown()) {
        if (config_.ShutType == ShutHibernate) power_.HibernateSystem();
        if (config_.ShutType == ShutStandby) power_.StandbySystem();
    }
    LogAtNormal(log_, config_, "Restart", name);
    LogAtNormal(log_, config_, "----------", "----------");
    LogAtNormal(log_, config_, "----------", "----------");
    supervision_.CountSuspensionSecond();
}

void CountdownExpiry::ShowSimulationBox() {
    // Every path after the box either ends the program or resets, and the reset's window-text
    // refresh starts the timer again.
    holdTicks_();
    struct Hold {
        Supervision& machine;
        explicit Hold(Supervision& m) : machine(m) { machine.HoldCountdown(true); }
        ~Hold() { machine.HoldCountdown(false); }
    } hold(supervision_);
    const std::string& name = supervision_.ShutTypeName();
    boxes_.Show(programTitle_ + " Simulate " + name, {"Test Real " + name}, BoxIcon::None, BoxButtons::Ok);
}

} // namespace tarnix
