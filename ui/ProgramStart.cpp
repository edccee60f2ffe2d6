#include "ui/ProgramStart.h"

#include <QMessageBox>
#include <QSocketNotifier>
#include <QWidget>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "common/CommandLine.h"
#include "common/PowerActions.h"
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

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void CloseOnTerminationSignal(QWidget* window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(signalPipe[0], &byte, 1);
        window->close();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

GuardedEvents::GuardedEvents(MainWindowEvents& logic, MainWindowView& window, ProgramControl& control,
                             std::string title)
    : logic_(logic), window_(window), control_(control), title_(std::move(title)) {}

template <typename Call> void GuardedEvents::Guard(Call call) {
    try {
        call();
    } catch (const PowerActionError& error) {
        // Nothing in the countdown handles a refused power action: say what it was and end.
        window_.SetTimerEnabled(false);
        std::ostringstream number;
        number << "0x" << std::hex << std::uppercase << std::setw(8) << std::setfill('0') << error.Number;
        const QString text = QString::fromStdString("Run-time error " + number.str() + " (" + error.Source +
                                                    ")\r\n\r\n" + error.Description);
        QMessageBox::critical(nullptr, QString::fromStdString(title_), text);
        control_.EndProgram();
    }
}

void GuardedEvents::OnTimerTick() {
    Guard([this] { logic_.OnTimerTick(); });
}
void GuardedEvents::OnButtonClicked(Button button) {
    Guard([this, button] { logic_.OnButtonClicked(button); });
}
void GuardedEvents::OnWindowClosing() {
    Guard([this] { logic_.OnWindowClosing(); });
}
void GuardedEvents::OnWindowStateChanged() {
    Guard([this] { logic_.OnWindowStateChanged(); });
}
void GuardedEvents::OnTrayRestoreRequested() {
    Guard([this] { logic_.OnTrayRestoreRequested(); });
}
void GuardedEvents::OnWindowActivated() {
    Guard([this] { logic_.OnWindowActivated(); });
}

} // namespace tarnix
