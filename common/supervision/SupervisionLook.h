#pragma once

#include <string>

#include "common/config/ConfigRecord.h"
#include "common/display/Colour.h"

namespace tarnix {

// How one program shows its supervision in the status band: the master and the slave word and
// colour the same states differently.
struct SupervisionLook {
    std::string programTitle;
    std::string counterPrefix; // before the activation and countdown texts
    std::string heardText;     // a second with a valid datagram
    Colour heardColour;
    std::string silentText; // before "<n>s" of silence
    Colour silentColour;
};

// The look of each program, defined once.
SupervisionLook SupervisionLookOf(ProgramKind kind);

} // namespace tarnix
