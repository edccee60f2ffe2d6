#pragma once

#include <QApplication>

#include "common/config/ConfigRecord.h"

namespace tarnix {

// Prepares the process: the locale's month names for time stamps, and a program that ends
// only when its logic says so (hiding the window to the tray must not quit it).
void PrepareApplication(QApplication& app, ProgramKind kind);

} // namespace tarnix
