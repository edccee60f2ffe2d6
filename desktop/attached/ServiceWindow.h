#pragma once

#include <QDBusConnection>

#include <memory>

#include "common/config/ConfigRecord.h"

namespace tarnix {

class MainWindowBase;

// The desktop programs as a face of the Tarnix service running on this computer: the main
// window and tray icon of the service's role, drawn from its status on the system bus and
// following it through stops and restarts, with desktop notifications; Reset and Test press the
// service's buttons, and closing the window leaves the service running.
class ServiceWindow {
public:
    // kind: the service's role.
    ServiceWindow(ProgramKind kind, bool startInTray, const QDBusConnection& systemBus,
                  const QDBusConnection& sessionBus);
    ~ServiceWindow();

    // Shows the window (or its tray icon) and starts following the service.
    void Start();
    MainWindowBase& Window();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The window of the service running on this computer, on the real buses, until it is closed.
// ownKind: the program started, whose window opens should the service's role not be known.
// Needs the application object.
int RunServiceWindow(ProgramKind ownKind, bool startInTray);

} // namespace tarnix
