#pragma once

// What the two programs' entry points share: the instance guard with its notice, the process
// services of the logic.

#include <QApplication>

#include <memory>
#include <string>

#include "common/ConfigRecord.h"
#include "common/InstanceGuard.h"
#include "common/MainWindowView.h"
#include "common/ProgramControl.h"
#include "platform/AbstractSocketMutex.h"

class QWidget;

namespace tarnix {

// The command line as the programs read it: the arguments after the program path joined by blanks.
std::string CommandLineOf(int argc, char** argv);

// The name the program was started under, without folder and extension: the power actions
// name themselves after it.
std::string ExecutableName(const char* argv0);

// Prepares the process: the locale's month names for time stamps, and a program that ends
// only when its logic says so (hiding the window to the tray must not quit it).
void PrepareApplication(QApplication& app, ProgramKind kind);

// The instance names of the start procedure. Returns false when another instance runs and the
// switch is not given; the notice is then shown and the caller runs the event loop alone.
bool ClaimInstance(ProgramKind kind, const std::string& commandLine, InstanceMutex& mutex);
void ShowInstanceNotice(ProgramKind kind);

// The process as the logic sees it: priority, and the end of the program.
class ProcessControl : public ProgramControl {
public:
    void RaisePriority() override;
    void EndProgram() override;
};

} // namespace tarnix
