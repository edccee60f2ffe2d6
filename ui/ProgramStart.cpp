#include "ui/ProgramStart.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/CommandLine.h"
#include "platform/Priority.h"
#include "platform/UrlOpener.h"
#include "ui/MultiInst.h"

namespace tarnix {

std::string CommandLineOf(int argc, char** argv) {
    return JoinCommandLine(std::vector<std::string>(argv, argv + argc));
}

std::string ExecutableName(const char* argv0) {
    const std::string name = std::filesystem::path(argv0 != nullptr ? argv0 : "").stem().string();
    return name.empty() ? std::string("Tarnix") : name;
}

void PrepareApplication(QApplication& app, ProgramKind kind) {
    std::setlocale(LC_TIME, "");
    app.setQuitOnLastWindowClosed(false);
    app.setApplicationName(kind == ProgramKind::Master ? "TarnixM" : "TarnixS");
    // Lets the desktop match the windows with the installed menu entry and its icon.
    app.setDesktopFileName(kind == ProgramKind::Master ? "tarnix-master" : "tarnix-slave");
}

bool ClaimInstance(ProgramKind kind, const std::string& commandLine, InstanceMutex& mutex) {
    const bool allowMulti = AllowMultiGiven(commandLine);
    const bool taken = mutex.CheckInstanceMutex("Tarnix", false);
    if (taken && !allowMulti) return false;
    if (kind == ProgramKind::Master) {
        if (taken) mutex.CheckInstanceMutex("TarnixM", false);
        return true;
    }
    const bool ownTaken = mutex.CheckInstanceMutex("TarnixS", false);
    if (!allowMulti && !ownTaken) mutex.OpenUnowned("TarnixS");
    return true;
}

void ShowInstanceNotice(ProgramKind kind) {
    auto* notice = new MultiInst(kind, OpenUrlInBrowser, [] {
        std::fflush(nullptr);
        std::_Exit(0);
    });
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->show();
}

void ProcessControl::RaisePriority() {
    RaiseProcessPriority();
}

void ProcessControl::EndProgram() {
    // At once: no further timer or socket event may be handled, and nothing is left to save
    // (the log and the configuration are closed after every write).
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace tarnix
