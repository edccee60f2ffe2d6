#pragma once

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigSchema.h"

namespace tarnix::config_test {

// Sets a column of the master's table at once: "CName" (CName0 to CName4) or "IPAdd" (IPAdd, the
// slave's, then IPAdd1 to IPAdd4).
inline void SetRow(ConfigScreenValues& values, const std::string& key,
                   const std::array<std::string, 5>& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i)
        values.Of(key == "IPAdd" && i == 0 ? key : key + std::to_string(i)).text = texts[i];
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnix-config-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string JoinLines(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

// What the start-up reading of a file comes to: the reader's box, or else the check's.
struct ReadBack {
    std::optional<FatalError> readBox, checkBox;
    ConfigRecord record;
    bool unconfigured = false;
};

inline ReadBack ReadAndCheck(const std::filesystem::path& file, ProgramKind kind) {
    ReadBack r;
    std::string configText;
    r.readBox = ReadConfiguration(file, kind, r.record, configText);
    if (!r.readBox) r.checkBox = ValidateConfiguration(kind, r.record, r.unconfigured);
    return r;
}

// A complete, valid file of each program, line by line, to be varied by the tests.
inline std::vector<std::string> MasterLines() {
    return {"# Tarnix Version 4.2",
            "# Configuration File",
            "# 01-Jan-26 00:00:00",
            "",
            "[Comms]",
            "DName=1",
            "CName0=Control",
            "CName1=Pump",
            "CName2=",
            "CName3=",
            "CName4=",
            "IPAdd1=192.168.0.20",
            "IPAdd2=",
            "IPAdd3=",
            "IPAdd4=",
            "Port1=10000",
            "Port2=10001",
            "",
            "[Run]",
            "CPUDelay=60",
            "LogLevel=2",
            "LogName=TarnixM.log",
            "LogPath=Log\\",
            "RunOnTop=1",
            "StartDelay=2",
            "StartMin=1",
            "",
            "[Shutdown]",
            "ShutTime=60",
            "ShutType=1",
            ""};
}

inline std::vector<std::string> SlaveLines() {
    return {"# Tarnix Slave Version 4.2",
            "# Configuration File",
            "# 01-Jan-26 00:00:00",
            "",
            "[Comms]",
            "DName=1",
            "IPAdd=10.0.0.5",
            "Port1=10001",
            "Port2=10000",
            "",
            "[Run]",
            "CPUDelay=60",
            "LogLevel=2",
            "LogName=TarnixS.log",
            "LogPath=Log\\",
            "RunOnTop=1",
            "StartDelay=2",
            "StartMin=1",
            "",
            "[Shutdown]",
            "ShutTime=60",
            "ShutType=1",
            ""};
}

} // namespace tarnix::config_test
