#pragma once

#include <string>

#include "common/config/ConfigRecord.h"
#include "common/program/MessageBox.h"

namespace tarnix {

// The advice of the boxes of a configuration file that is missing, corrupted or out of range.
inline constexpr const char* ReinstallToRestore = "Reinstall the program to restore the file.";

// The message boxes of the configuration file. Titles are ProgramTitleOf(kind) + titleSuffix.
FatalError ConfigMissingBox();                     // no file at start-up, or gone at the slave's save
FatalError ConfigCorruptedBox();                   // keys or sections not all present exactly once
FatalError ConfigReadFailureBox(ProgramKind kind); // unreadable, or a number too large for its field
FatalError ConfigRangeBox();                       // one or more values out of range
BoxText ConfigWriteFailureBox(ProgramKind kind);
// A value the writer will not save: the reason takes the place of the permissions line.
BoxText ConfigRefusedBox(ProgramKind kind, std::string reason);

// A start-up box with one more line saying what is wrong, so that someone editing the file by
// hand can find it. It goes before a closing "will now terminate" line, which stays last.
FatalError WithFault(FatalError box, std::string fault);

} // namespace tarnix
