#pragma once

#include "common/program/ProgramControl.h"

namespace tarnix {

// The process as the logic sees it: priority, and the end of the program.
class ProcessControl : public ProgramControl {
public:
    void RaisePriority() override;
    void EndProgram(ProgramEnd end) override;
};

} // namespace tarnix
