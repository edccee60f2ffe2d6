#include "platform/HookRunner.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sstream>
#include <system_error>

#include "common/base/TextEncoding.h"
#include "common/program/StatusReport.h"

namespace tarnix {

namespace {

constexpr std::size_t kErrorTailBytes = 4096;

// A name or a hook's output as a single, harmless line.
std::string Shown(std::string_view bytes) {
    return EscapeControlCharacters(StoredTextToUtf8(bytes));
}

std::string Seconds(std::chrono::milliseconds duration) {
    std::ostringstream text;
    text << static_cast<double>(duration.count()) / 1000.0 << " s";
    return text.str();
}

// Whoever may change the file (or the folder, which lets them swap the file) decides what runs
// as this program's user: only root and that user may.
std::string WriterFault(const struct stat& status, uid_t programUser, const std::string& what) {
    if (status.st_uid != 0 && status.st_uid != programUser)
        return what + " belongs to user " + std::to_string(status.st_uid);
    if ((status.st_mode & S_IWOTH) != 0) return "others may write " + what;
    if ((status.st_mode & S_IWGRP) != 0) return "its group may write " + what;
    return {};
}

std::string EnvironmentKey(const std::string& key) {
    std::string name = "TARNIX_";
    for (const char c : key) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += plain ? static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) : '_';
    }
    return name;
}

// Only the end of a hook's stderr is reported, however much it writes.
void KeepTail(std::string& tail, const QByteArray& more) {
    tail.append(more.constData(), static_cast<std::size_t>(more.size()));
    if (tail.size() <= kErrorTailBytes) return;
    std::size_t cut = tail.size() - kErrorTailBytes;
    // Never start inside a character: the line would no longer read as UTF-8.
    while (cut < tail.size() && (static_cast<unsigned char>(tail[cut]) & 0xC0) == 0x80)
        ++cut;
    tail.erase(0, cut);
}

// The tail of what the hook wrote to stderr: its last line that holds anything.
std::string LastLine(std::string_view tail) {
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' '))
        tail.remove_suffix(1);
    const std::size_t end = tail.rfind('\n');
    return Shown(end == std::string_view::npos ? tail : tail.substr(end + 1));
}

// In the child between fork and exec: only async-signal-safe calls.
void PrepareChild() {
    // A group of its own: a stop reaches whatever the hook started, and a terminal's ^C does not.
    ::setsid();
    // The program's raised priority is for its own ticks; a busy hook must not compete with them.
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0 && nice < 0) ::setpriority(PRIO_PROCESS, 0, 0);
    // Blocked and ignored signals survive exec and would make the hook deaf to its stop.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &standard, nullptr);
    // No descriptor of the program (its log, its sockets, its instance lock) outlives the exec.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
}

} // namespace

HookRunner::HookRunner(std::filesystem::path folder, uid_t programUser, HookReport report,
                       std::chrono::milliseconds runLimit, std::chrono::milliseconds killAfter)
    : programUser_(programUser), report_(std::move(report)), runLimit_(runLimit), killAfter_(killAfter) {
    // Hooks start in the folder, so a relative path would no longer name them there.
    std::error_code error;
    folder_ = std::filesystem::absolute(folder, error);
    if (error) folder_ = std::move(folder);
    // Once here: a name service may be slow, and runs must start without waiting for it.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(programUser, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        home_ = found->pw_dir;
}

HookRunner::~HookRunner() {
    for (const auto& hook : hooks_) {
        if (hook->process == nullptr) continue;
        QObject::disconnect(hook->process, nullptr, this, nullptr);
        if (const auto pid = static_cast<pid_t>(hook->process->processId()); pid > 0) ::kill(-pid, SIGKILL);
        hook->process->waitForFinished(1000);
        delete hook->process;
    }
}

void HookRunner::Report(const std::string& line, bool failure) const {
    if (report_) report_(line, failure);
}

// Emit may come from inside the log's own work (log-lost): its line waits for the event loop.
void HookRunner::ReportLater(const std::string& line) {
    QMetaObject::invokeMethod(
        this, [this, line] { Report(line, true); }, Qt::QueuedConnection);
}

std::string HookRunner::FolderRefusal() const {
    struct stat status {};
    if (::stat(folder_.c_str(), &status) != 0) return std::strerror(errno);
    return WriterFault(status, programUser_, "the folder");
}

std::string HookRunner::Refusal(const std::filesystem::path& file) const {
    struct stat status {};
    if (::lstat(file.c_str(), &status) != 0) return std::strerror(errno);
    // What runs must be the file checked here; a link's target may sit where anyone writes.
    if (S_ISLNK(status.st_mode)) return "it is a symbolic link, which is not followed";
    if (!S_ISREG(status.st_mode) || ::access(file.c_str(), X_OK) != 0) return "it is not an executable file";
    return WriterFault(status, programUser_, "it");
}

std::filesystem::path HookRunner::ProgramHooksFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::weakly_canonical("Data/hooks.d", error);
    return error ? std::filesystem::absolute("Data/hooks.d", error) : folder;
}

void HookRunner::ReadFolder() {
    for (const auto& hook : hooks_)
        hook->listed = false;
    std::error_code error;
    std::filesystem::directory_iterator entries(folder_, error);
    if (error == std::errc::no_such_file_or_directory) {
        entries = {};
    } else if (const std::string refusal = error ? error.message() : FolderRefusal(); !refusal.empty()) {
        Report("Hooks in " + Shown(folder_.string()) + " not run: " + refusal, true);
        entries = {};
    }
    std::vector<std::string> found;
    for (; entries != std::filesystem::directory_iterator(); entries.increment(error))
        found.push_back(entries->path().filename().string());
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (std::string& name : found) {
        const std::filesystem::path path = folder_ / name;
        // Hidden files (an editor's, a packager's) and a file switched off by its mode stay quiet.
        struct stat status {};
        if (name.starts_with('.') || ::lstat(path.c_str(), &status) != 0) continue;
        if (!S_ISLNK(status.st_mode) && !(S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0))
            continue;
        if (const std::string refusal = Refusal(path); !refusal.empty())
            Report("Hook " + Shown(path.string()) + " not run: " + refusal, true);
        else
            names.push_back(std::move(name));
    }
    std::vector<std::unique_ptr<Hook>> listed;
    for (std::string& name : names) {
        auto same =
            std::find_if(hooks_.begin(), hooks_.end(), [&](const auto& h) { return h->name == name; });
        if (same != hooks_.end()) {
            listed.push_back(std::move(*same));
            hooks_.erase(same);
        } else {
            listed.push_back(std::make_unique<Hook>());
            listed.back()->name = std::move(name);
        }
        listed.back()->listed = true;
    }
    // A hook that left the list finishes its run; its waiting events go.
    for (auto& gone : hooks_) {
        gone->waiting.clear();
        if (gone->process != nullptr) listed.push_back(std::move(gone));
    }
    hooks_ = std::move(listed);
}

void HookRunner::Emit(const WatchdogEvent& event) {
    for (const auto& hook : hooks_)
        if (hook->listed) Queue(*hook, event);
    SchedulePump();
}

void HookRunner::Queue(Hook& hook, const WatchdogEvent& event) {
    if (hook.waiting.size() < kQueueLimit) {
        hook.waiting.push_back(event);
        return;
    }
    if (hook.dropped++ == 0) {
        hook.firstDropped = event.sequence;
        ReportLater("Hook " + Shown(PathOf(hook).string()) + " has " + std::to_string(kQueueLimit) +
                    " events waiting: further events are dropped until it catches up");
    }
    hook.lastDropped = event.sequence;
}

// Runs start from the event loop: Emit returns at once, and a hook that fails to start is
// reported outside the caller's work.
void HookRunner::SchedulePump() {
    if (pumpPending_) return;
    pumpPending_ = true;
    QMetaObject::invokeMethod(
        this, [this] { Pump(); }, Qt::QueuedConnection);
}

void HookRunner::Pump() {
    pumpPending_ = false;
    std::erase_if(hooks_, [](const auto& hook) { return !hook->listed && hook->process == nullptr; });
    for (const auto& hook : hooks_)
        if (hook->listed && hook->process == nullptr && !hook->waiting.empty()) Start(*hook);
}

void HookRunner::Start(Hook& hook) {
    hook.running = std::move(hook.waiting.front());
    hook.waiting.pop_front();
    const std::filesystem::path path = PathOf(hook);
    // The file may have changed since the folder was read; it leaves the list until the next read.
    if (const std::string refusal = Refusal(path); !refusal.empty()) {
        Report("Hook " + Shown(path.string()) + " not run: " + refusal, true);
        hook.listed = false;
        hook.waiting.clear();
        return;
    }

    QProcessEnvironment environment;
    environment.insert("PATH", "/usr/sbin:/usr/bin:/sbin:/bin");
    environment.insert("LANG", "C.UTF-8");
    if (!home_.empty()) environment.insert("HOME", QString::fromStdString(home_));
    const WatchdogEvent& event = hook.running;
    for (const auto& [key, value] : event.details)
        environment.insert(QString::fromStdString(EnvironmentKey(key)), QString::fromStdString(value));
    environment.insert("TARNIX_EVENT", QString::fromStdString(event.name));
    environment.insert("TARNIX_PROGRAM", QString::fromStdString(ProgramWord(event.program)));
    environment.insert("TARNIX_SEQUENCE", QString::number(event.sequence));
    if (event.testRun)
        environment.insert("TARNIX_TEST", "1");
    else
        environment.remove("TARNIX_TEST");

    auto* process = new QProcess(this);
    hook.process = process;
    process->setProgram(QString::fromStdString(path.string()));
    process->setWorkingDirectory(QString::fromStdString(folder_.string()));
    process->setProcessEnvironment(environment);
    process->setStandardInputFile(QProcess::nullDevice());
    // Nobody reads it, and a pipe would have to be emptied however much the hook writes.
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setChildProcessModifier(PrepareChild);

    connect(process, &QProcess::readyReadStandardError, this,
            [&hook, process] { KeepTail(hook.errorTail, process->readAllStandardError()); });
    connect(process, &QProcess::errorOccurred, this, [this, &hook, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Finished(hook, "could not start: " + process->errorString().toStdString(), true);
    });
    connect(process, &QProcess::finished, this,
            [this, &hook, process](int exitCode, QProcess::ExitStatus exitStatus) {
                KeepTail(hook.errorTail, process->readAllStandardError());
                if (hook.stopped)
                    Finished(hook,
                             "stopped after " + Seconds(runLimit_) +
                                 (hook.killed ? ", killed " + Seconds(killAfter_) + " later" : ""),
                             true);
                else if (exitStatus == QProcess::CrashExit)
                    Finished(hook, "exited with signal " + std::to_string(exitCode), true);
                else
                    Finished(hook, "exited with " + std::to_string(exitCode), exitCode != 0);
            });
    hook.stopTimer = new QTimer(process);
    hook.stopTimer->setSingleShot(true);
    connect(hook.stopTimer, &QTimer::timeout, this, [this, &hook] { Stop(hook); });
    hook.stopTimer->start(runLimit_);
    process->start();
}

void HookRunner::Stop(Hook& hook) {
    const auto pid = static_cast<pid_t>(hook.process->processId());
    if (pid <= 0) return;
    if (hook.stopped) {
        hook.killed = true;
        ::kill(-pid, SIGKILL);
    } else {
        hook.stopped = true;
        ::kill(-pid, SIGTERM);
        hook.stopTimer->start(killAfter_);
    }
}

void HookRunner::Finished(Hook& hook, const std::string& outcome, bool failure) {
    const std::string path = Shown(PathOf(hook).string());
    const std::string said = LastLine(hook.errorTail);
    Report("Hook " + path + " (" + hook.running.name + " #" + std::to_string(hook.running.sequence) + ") " +
               outcome + (said.empty() ? "" : ": " + said),
           failure);
    QObject::disconnect(hook.process, nullptr, this, nullptr);
    hook.stopTimer->stop();
    hook.process->deleteLater();
    hook.process = nullptr;
    hook.errorTail.clear();
    hook.stopped = hook.killed = false;
    if (hook.dropped > 0 && hook.waiting.empty()) {
        Report("Hook " + path + " caught up after " + std::to_string(hook.dropped) +
                   " events were dropped (#" + std::to_string(hook.firstDropped) + " to #" +
                   std::to_string(hook.lastDropped) + ")",
               true);
        hook.dropped = 0;
    }
    SchedulePump();
}

} // namespace tarnix
