#pragma once

// Master and slave programs wired to fakes, ready to be loaded and driven tick by tick.

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "desktop/window/PeerRowsPresenter.h"
#include "desktop/window/StatusPresenter.h"
#include "desktop/window/WindowPlacement.h"
#include "desktop/window/WindowRules.h"
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
    RecordedEvents events;
    ProgramServices Services() {
        return ProgramServices{.timer = window,
                               .boxes = boxes,
                               .power = power,
                               .clock = clock,
                               .control = control,
                               .statusObserver = followers,
                               .sealing = sealing,
                               .events = events};
    }
    // The window's parts that follow the program, as the desktop face wires them.
    void AttachWindow(ProgramBase& program, ProgramKind kind) {
        band.emplace(SupervisionLookOf(kind), window, kind == ProgramKind::Slave ? &window : nullptr);
        placement.emplace(window, program.Config());
        rules.emplace(program, *placement, window, configWindow, desktop);
        if (kind == ProgramKind::Master) followers.Add(rows);
        followers.Add(*band);
        followers.Add(*placement);
        followers.Add(*rules);
        window.events = &*rules;
    }

    PeerRowsPresenter rows{window};
    std::optional<StatusPresenter> band;
    std::optional<WindowPlacement> placement;
    std::optional<WindowRules> rules;
};

struct MasterRig : Outside {
    MasterRig(FakeNetwork& network, const std::string& commandLine = "",
              const std::string& host = "127.0.0.1") {
        for (int i = 1; i <= 4; ++i) {
            fake[static_cast<std::size_t>(i)] = &network.NewPort(host);
            ports[static_cast<std::size_t>(i)] = fake[static_cast<std::size_t>(i)];
        }
        program = std::make_unique<MasterProgram>(commandLine, Services(), ports);
        AttachWindow(*program, ProgramKind::Master);
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
        program = std::make_unique<SlaveProgram>(commandLine, Services(), port);
        AttachWindow(*program, ProgramKind::Slave);
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
