#pragma once

#include "common/config/ConfigRecord.h"
#include "common/supervision/ShutType.h"

namespace tarnix {

// What the stored numbers of a configuration record mean to the programs; the numbers
// themselves stay with the file.

// LogLevel 2 (Normal) and 3 (Full) write the normal lines.
inline bool LogsNormal(const ConfigRecord& config) {
    return config.LogLevel > 1;
}
inline bool LogsFull(const ConfigRecord& config) {
    return config.LogLevel == 3;
}
// StartMin: 2 starts in the tray, 1 starts shown.
inline bool StartsInTray(const ConfigRecord& config) {
    return config.StartMin == 2;
}
inline bool StartsShown(const ConfigRecord& config) {
    return config.StartMin == 1;
}
// RunOnTop: 2 keeps the window on top, 1 lets it go behind others.
inline bool RunsOnTop(const ConfigRecord& config) {
    return config.RunOnTop == 2;
}
inline bool RunsNormally(const ConfigRecord& config) {
    return config.RunOnTop == 1;
}
// Monitor only watches: its countdown closes the program and leaves the computer running.
inline bool MonitorsOnly(const ConfigRecord& config) {
    return config.ShutType == ShutMonitor;
}

} // namespace tarnix
