#pragma once

#include "common/ConfigRecord.h"
#include "common/MessageBox.h"

namespace tarnix {

// The message boxes of the configuration file. Titles are ProgramTitleOf(kind) + titleSuffix.
FatalError ConfigMissingBox();                     // no file at start-up, or gone at the slave's save
FatalError ConfigCorruptedBox();                   // keys or sections not all present exactly once
FatalError ConfigReadFailureBox(ProgramKind kind); // unreadable, or a number too large for its field
FatalError ConfigRangeBox();                       // one or more values out of range
BoxText ConfigWriteFailureBox(ProgramKind kind);

} // namespace tarnix
