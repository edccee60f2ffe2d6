#pragma once

// A master and a slave on the kit's fake network for the fuzz targets that drive the programs:
// short start delays, and a slave whose long delays keep a long run in Run.

#include <memory>
#include <string>

#include "support/Rigs.h"

namespace tarnix::testing {

struct FuzzPrograms {
    ProgramFolder folder;
    FakeNetwork network;
    std::unique_ptr<MasterRig> master;
    std::unique_ptr<SlaveRig> slave;

    // Call once the folder holds what else the programs should find there (key files).
    void Start(const Settings& masterChanges, const std::string& slaveHost) {
        Settings m = MasterSettings();
        for (const auto& [key, value] : masterChanges)
            m[key] = value;
        m["StartDelay"] = "1";
        folder.WriteMaster(m);
        master = std::make_unique<MasterRig>(network);
        master->program->Load();
        Settings s = SlaveSettings();
        s["StartDelay"] = "1";
        s["ShutTime"] = "600";
        s["CPUDelay"] = "600";
        folder.WriteSlave(s);
        slave = std::make_unique<SlaveRig>(network, "", slaveHost);
        slave->program->Load();
    }
};

} // namespace tarnix::testing
