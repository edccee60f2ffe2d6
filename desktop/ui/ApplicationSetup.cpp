#include "desktop/ui/ApplicationSetup.h"

#include <clocale>

#include "common/program/ProgramNames.h"

namespace tarnix {

void PrepareApplication(QApplication& app, ProgramKind kind) {
    std::setlocale(LC_TIME, "");
    app.setQuitOnLastWindowClosed(false);
    app.setApplicationName(QString::fromStdString(ExecutableNameOf(kind)));
    // Lets the desktop match the windows with the installed menu entry and its icon.
    app.setDesktopFileName(kind == ProgramKind::Master ? "tarnix-master" : "tarnix-slave");
}

} // namespace tarnix
