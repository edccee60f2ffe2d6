#pragma once

// Master and slave programs wired to fakes, ready to be loaded and driven tick by tick.

#include <array>
#include <memory>
#include <string>

#include "master/MasterProgram.h"
#include "platform/SodiumSealing.h"
#include "slave/SlaveProgram.h"
#include "support/ConfigFakes.h"
#include "support/FakeNetwork.h"
#include "support/Fakes.h"
#include "support/ProgramFolder.h"

namespace tarnix::testing {

struct Outside {
    FakeWindow window;
    FakeBoxes boxes;
    FakePower power;
    FakeClock clock;
    FakeControl control;
    FakeConfigWindow configWindow;
    FakeDesktop desktop;
    SodiumSealing sealing;
    StatusFanOut followers;
    ProgramServices Services() {
        return ProgramServices{.timer = window,
                               .boxes = boxes,
                               .power = power,
                               .clock = clock,
                               .control = control,
                               .statusObserver = followers,
                               .sealing = sealing,
                               .band = &window,
                               .placement = &window,
                               .auxWindows = &window,
                               .configWindow = &configWindow,
                               .desktop = &desktop};
    }
};

struct MasterRig : Outside {
    MasterRig(FakeNetwork& network, const std::string& commandLine = "",
              const std::string& host = "127.0.0.1") {
        for (int i = 1; i <= 4; ++i) {
            fake[static_cast<std::size_t>(i)] = &network.NewPort(host);
            ports[static_cast<std::size_t>(i)] = fake[static_cast<std::size_t>(i)];
        }
        program = std::make_unique<MasterProgram>(commandLine, Services(), &window, ports);
        window.events = program.get();
    }
    void Tick() { program->OnTimerTick(); }
    FakePort& Port(int i) { return *fake[static_cast<std::size_t>(i)]; }

    std::array<DatagramPort*, 5> ports{};
    std::array<FakePort*, 5> fake{};
    std::unique_ptr<MasterProgram> program;
};

struct SlaveRig : Outside {
    SlaveRig(FakeNetwork& network, const std::string& commandLine = "", const std::string& host = "127.0.0.1")
        : port(network.NewPort(host)) {
        program = std::make_unique<SlaveProgram>(commandLine, Services(), &window, port);
        window.events = program.get();
    }
    void Tick() { program->OnTimerTick(); }

    FakePort& port;
    std::unique_ptr<SlaveProgram> program;
};

// Runs until the program ends; true when it did.
template <typename Action> bool Ends(Action action) {
    try {
        action();
    } catch (const ProgramEnded&) {
        return true;
    }
    return false;
}

} // namespace tarnix::testing
