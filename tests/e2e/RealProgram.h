#pragma once

// The real programs started as separate processes (offscreen) in temporary program folders, and
// what they write to their logs.

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/ProgramFolder.h"

namespace tarnix::e2e {

using namespace std::chrono_literals;

// A temporary program folder with Data/ and Log/ and one program's configuration file.
class ProgramDir {
public:
    ProgramDir(bool master, const testing::Settings& settings) : master_(master) {
        QDir root(dir_.path());
        root.mkpath("Data");
        root.mkpath("Log");
        std::ofstream(Path(master ? "Data/TarnixM.ini" : "Data/TarnixS.ini"), std::ios::binary)
            << testing::IniText(master, settings);
    }
    std::string Path(const std::string& relative) const { return dir_.path().toStdString() + "/" + relative; }
    std::string Root() const { return dir_.path().toStdString(); }
    bool Master() const { return master_; }

    std::vector<std::string> LogLines() const {
        std::ifstream in(Path(master_ ? "Log/TarnixM.log" : "Log/TarnixS.log"), std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    // Waits until some log line contains the text; true when it came in time.
    bool WaitForLog(const std::string& text, std::chrono::milliseconds timeout,
                    std::size_t fromLine = 0) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto lines = LogLines();
            for (std::size_t i = fromLine; i < lines.size(); ++i)
                if (lines[i].find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

private:
    bool master_;
    QTemporaryDir dir_;
};

// One running program; killed when the object goes.
class RealProgram {
public:
    // prefix: a command to run the program under (e.g. "ip netns exec NAME"), or empty.
    // service: the service tarnixd in the folder's role instead of the desktop program, with its
    // standard error kept for ErrorOutput().
    RealProgram(const ProgramDir& dir, const QStringList& arguments, const QStringList& prefix = {},
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                bool service = false) {
        const QString binary =
            QString::fromStdString(std::string(TARNIX_BIN_DIR) + (service        ? "/tarnixd"
                                                                  : dir.Master() ? "/TarnixM"
                                                                                 : "/TarnixS"));
        QProcessEnvironment env = environment;
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process_.setProcessEnvironment(env);
        process_.setWorkingDirectory(QString::fromStdString(dir.Root()));
        process_.setProcessChannelMode(service ? QProcess::SeparateChannels
                                               : QProcess::ForwardedErrorChannel);
        const QStringList all =
            service ? QStringList{dir.Master() ? "--master" : "--slave"} + arguments : arguments;
        if (prefix.isEmpty()) {
            process_.start(binary, all);
        } else {
            process_.start(prefix.front(), prefix.mid(1) + QStringList{binary} + all);
        }
        process_.waitForStarted(5000);
    }
    ~RealProgram() { Kill(); }
    RealProgram(const RealProgram&) = delete;
    RealProgram& operator=(const RealProgram&) = delete;

    bool Running() { return process_.state() == QProcess::Running && !process_.waitForFinished(0); }
    // Asks the program to close as a desktop would; true when it ended in time.
    bool Terminate(std::chrono::milliseconds timeout = 5000ms) {
        process_.terminate();
        return process_.waitForFinished(static_cast<int>(timeout.count()));
    }
    void Kill() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    bool WaitForEnd(std::chrono::milliseconds timeout) {
        if (process_.state() == QProcess::NotRunning) return true; // ended while its output was read
        return process_.waitForFinished(static_cast<int>(timeout.count()));
    }
    int ExitCode() const { return process_.exitCode(); }
    qint64 Pid() const { return process_.processId(); }
    // What the program wrote to standard error so far.
    std::string ErrorOutput() {
        errors_ += process_.readAllStandardError().toStdString();
        return errors_;
    }
    // Waits until standard error holds the text; true when it came in time.
    bool WaitForError(const std::string& text, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (ErrorOutput().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            process_.waitForReadyRead(100);
        }
        return true;
    }

private:
    QProcess process_;
    std::string errors_;
};

} // namespace tarnix::e2e
