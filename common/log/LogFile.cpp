#include "common/log/LogFile.h"

#include "common/base/AtomicFile.h"
#include "common/base/TimeStamp.h"
#include "common/config/ConfigFile.h"
#include "common/config/ConfigQueries.h"
#include "common/program/ProgramNames.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tarnix {

namespace {

const std::string LineEnd = "\r\n";
const std::string Terminate = ProgramWillTerminate;

// ---- the boxes that explain why the log cannot be used -------------------------------------

FatalError WarningBox(std::string titleSuffix, std::vector<std::string> lines) {
    return FatalError{std::move(titleSuffix), BoxIcon::Warning, std::move(lines)};
}

// CreateLogFile in the master and WriteLogHeader in both programs.
FatalError HeaderDirectoryError() {
    return WarningBox(" Log Directory Error",
                      {"The log directory does not exist. This", "directory must be created manually if",
                       "it is not the default one. To restore", "the default log directory reinstall",
                       "the program.", Terminate});
}

FatalError CreateDirectoryError(ProgramKind kind) {
    if (kind == ProgramKind::Master) return HeaderDirectoryError();
    return WarningBox(" Log Directory Error",
                      {"The log file directory does not exist.", "This directory must be created manually",
                       "if it is not the default one. To restore", "the default log directory reinstall",
                       "the program.", Terminate});
}

FatalError LineDirectoryError() {
    return WarningBox(" Log Directory Error",
                      {"The log directory is either missing or",
                       "corrupted or there could be a permission problem.",
                       "This directory must be created manually", "if it is not the default one. To restore",
                       "the default log directory reinstall", "the program.", Terminate});
}

FatalError MissingFileError() {
    return WarningBox(" Log File Error",
                      {"The log file is either missing or", "corrupted. Delete the log file if",
                       "it exists and restart the program.", Terminate});
}

// A full disk is no permissions problem: saying so would send the reader looking in the wrong
// place.
std::string Cause(int error) {
    return error == ENOSPC || error == EDQUOT ? "The disk is full." : "This may be a permissions problem.";
}

FatalError CreateError(const std::string& logName, int error = 0) {
    return WarningBox(" Log File Error",
                      {"Unable to create the log file " + logName + ".", Cause(error), Terminate});
}

FatalError WriteError(const std::string& logName, int error = 0) {
    return WarningBox(" Log File Write Error",
                      {"Unable to write to the log file " + logName + ".", Cause(error), Terminate});
}

// ---- file access ----------------------------------------------------------------------------

std::filesystem::path LogFolder(const ConfigRecord& config) {
    // An empty LogPath puts the file in the working folder, so that is the folder to check.
    const std::filesystem::path folder = StoredPathToNative(config.LogPath);
    return folder.empty() ? std::filesystem::path(".") : folder;
}

bool FolderExists(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_directory(folder, error);
}

// Something other than a folder stands at the path. A folder counts as a missing log; anything
// else that is not a regular file is refused when it is opened.
bool LogFileExists(const std::filesystem::path& file) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

enum class AppendResult { Written, FileMissing, Failed };
enum class IfMissing { Create, Fail };

struct Appended {
    AppendResult result;
    int error = 0; // errno of a failure
};

bool IsRegularFile(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error);
}

// Opening without O_CREAT when the file must already exist leaves no moment between an
// existence test and the open in which a deleted log could be re-created. Only a regular file
// (a link to one included) is written: opening never waits, so a named pipe without a reader
// fails at once instead of hanging the program, and a pipe or device that does open is refused.
// A write that stops half-way (a full disk) is cut back to where it began, so the file never
// holds a torn line.
Appended AppendToFile(const std::filesystem::path& file, const std::string& text, IfMissing ifMissing) {
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                      (ifMissing == IfMissing::Create ? O_CREAT : 0);
    int fd = -1;
    do {
        fd = ::open(file.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return {errno == ENOENT ? AppendResult::FileMissing : AppendResult::Failed, errno};
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        (void)::close(fd);
        return {AppendResult::Failed};
    }
    const bool written = WriteAll(fd, text);
    const int writeError = written ? 0 : (errno != 0 ? errno : ENOSPC);
    if (!written) (void)::ftruncate(fd, status.st_size);
    const bool closed = ::close(fd) == 0;
    if (!written) return {AppendResult::Failed, writeError};
    return closed ? Appended{AppendResult::Written} : Appended{AppendResult::Failed, errno};
}

} // namespace

LogFile::LogFile(ProgramKind kind, const ConfigRecord& config, const Clock& clock)
    : kind_(kind), config_(config), clock_(clock) {}

std::filesystem::path LogFile::LogFilePath() const {
    return StoredPathToNative(config_.LogPath + config_.LogName);
}

std::optional<FatalError> LogFile::CreateLogFile() const {
    if (!LogsNormal(config_)) return std::nullopt;
    try {
        if (!FolderExists(LogFolder(config_))) return CreateDirectoryError(kind_);
        const std::filesystem::path file = LogFilePath();
        // Anything else at the path (a folder, a pipe, a device) fails to be created below.
        if (IsRegularFile(file)) return std::nullopt;
        const std::string text = ProgramTitleOf(kind_) + LineEnd + "Version " + ProgramVersion + LineEnd +
                                 "File Created" + LineEnd + FormatTimeStamp(clock_.LocalNow()) + LineEnd;
        const Appended appended = AppendToFile(file, text, IfMissing::Create);
        if (appended.result == AppendResult::Written) return std::nullopt;
        return CreateError(config_.LogName, appended.error);
    } catch (...) { // the caller ends the program with the box; nothing may escape past it
        return CreateError(config_.LogName);
    }
}

std::string LogFile::HeaderText(int mode, const std::string& configText) const {
    if (mode != 0) return LineEnd + configText + LineEnd;
    std::string text = ProgramTitleOf(kind_) + LineEnd + "Version " + ProgramVersion + LineEnd;
    if (LogsFull(config_)) text += configText + LineEnd;
    return text;
}

std::optional<FatalError> LogFile::WriteLogHeader(int mode, const std::string& configText) const {
    if (!LogsNormal(config_)) return std::nullopt;
    try {
        return AppendLine(HeaderText(mode, configText), HeaderDirectoryError());
    } catch (...) { // the caller ends the program with the box; nothing may escape past it
        return WriteError(config_.LogName);
    }
}

std::optional<FatalError> LogFile::WriteLogLine(const std::string& event, const std::string& detail,
                                                const LogLineState& state) const {
    return AppendLines(FormatLine(event, detail, state));
}

std::string LogFile::FormatLine(const std::string& event, const std::string& detail,
                                const LogLineState& state) const {
    return FormatLogLine(FormatTimeStamp(clock_.LocalNow()), event, detail, LogsFull(config_), state);
}

std::string LogFile::FormatNote(const std::string& event, const std::string& text) const {
    return FormatLogNote(FormatTimeStamp(clock_.LocalNow()), event, text);
}

std::optional<FatalError> LogFile::AppendLines(const std::string& text) const {
    try {
        return AppendLine(text, LineDirectoryError());
    } catch (...) { // the caller ends the program with the box; nothing may escape past it
        return WriteError(config_.LogName);
    }
}

std::optional<FatalError> LogFile::AppendLine(const std::string& text,
                                              const FatalError& directoryError) const {
    if (!FolderExists(LogFolder(config_))) return directoryError;
    // Something that is not a file where the log should be counts as a missing log, as it does
    // when the log is created.
    if (!LogFileExists(LogFilePath())) return MissingFileError();
    const Appended appended = AppendToFile(LogFilePath(), text + LineEnd, IfMissing::Fail);
    switch (appended.result) {
    case AppendResult::Written:
        return std::nullopt;
    case AppendResult::FileMissing:
        return MissingFileError();
    case AppendResult::Failed:
        break;
    }
    return WriteError(config_.LogName, appended.error);
}

} // namespace tarnix
