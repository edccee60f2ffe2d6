#include "platform/TerminationSignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <map>
#include <sys/socket.h>
#include <unistd.h>

namespace tarnix {

namespace {

int signalPipe[2] = {-1, -1};
std::map<int, std::function<void()>>& Handlers() {
    static std::map<int, std::function<void()>> handlers;
    return handlers;
}

// Only async-signal-safe work here: the signal's number wakes the event loop.
void OnSignal(int signal) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

bool OpenSignalPipe() {
    if (signalPipe[0] >= 0) return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return false;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        unsigned char byte = 0;
        if (::read(signalPipe[0], &byte, 1) != 1) return;
        const auto handler = Handlers().find(byte);
        if (handler != Handlers().end()) handler->second();
    });
    return true;
}

} // namespace

void CallOnSignal(int signal, std::function<void()> handler) {
    if (!OpenSignalPipe()) return;
    Handlers()[signal] = std::move(handler);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

void CallOnTerminationSignal(std::function<void()> handler) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        CallOnSignal(signal, handler);
}

} // namespace tarnix
