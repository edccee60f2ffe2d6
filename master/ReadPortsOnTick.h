#pragma once

#include <array>
#include <memory>

#include "common/MainWindowView.h"
#include "platform/UdpDatagramPort.h"

namespace tarnix {

// The master judges its links from what arrived between two evaluations, so its sockets need
// not wake it for every reply: they are read when the window's timer ticks, just before the
// logic sees the tick. Four peers then cost the master no wakeups of their own. Every other
// window event goes to the logic unchanged.
class ReadPortsOnTick final : public MainWindowEvents {
public:
    ReadPortsOnTick(MainWindowEvents& logic, const std::array<std::unique_ptr<UdpDatagramPort>, 5>& sockets)
        : logic_(logic), sockets_(sockets) {}

    void OnTimerTick() override {
        for (const auto& socket : sockets_)
            if (socket) socket->ReadArrived();
        logic_.OnTimerTick();
    }
    void OnButtonClicked(Button button) override { logic_.OnButtonClicked(button); }
    void OnWindowClosing() override { logic_.OnWindowClosing(); }
    void OnWindowStateChanged() override { logic_.OnWindowStateChanged(); }
    void OnTrayRestoreRequested() override { logic_.OnTrayRestoreRequested(); }
    void OnWindowActivated() override { logic_.OnWindowActivated(); }

private:
    MainWindowEvents& logic_;
    const std::array<std::unique_ptr<UdpDatagramPort>, 5>& sockets_;
};

} // namespace tarnix
