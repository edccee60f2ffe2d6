#pragma once

// A fresh temporary program folder (Data/, Log/) that becomes the working folder for the test,
// with configuration files written in the programs' own layout.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace tarnix::testing {

using Settings = std::map<std::string, std::string>;

inline Settings MasterSettings() {
    return {{"DName", "1"},          {"CName0", "Host"}, {"CName1", ""},
            {"CName2", ""},          {"CName3", ""},     {"CName4", ""},
            {"IPAdd1", "127.0.0.1"}, {"IPAdd2", ""},     {"IPAdd3", ""},
            {"IPAdd4", ""},          {"Port1", "20000"}, {"Port2", "20001"},
            {"CPUDelay", "5"},       {"LogLevel", "2"},  {"LogName", "TarnixM.log"},
            {"LogPath", "Log\\"},    {"RunOnTop", "1"},  {"StartDelay", "2"},
            {"StartMin", "1"},       {"ShutTime", "3"},  {"ShutType", "1"}};
}

inline Settings SlaveSettings() {
    return {{"DName", "1"},    {"IPAdd", "127.0.0.1"}, {"Port1", "20001"},         {"Port2", "20000"},
            {"CPUDelay", "5"}, {"LogLevel", "2"},      {"LogName", "TarnixS.log"}, {"LogPath", "Log\\"},
            {"RunOnTop", "1"}, {"StartDelay", "2"},    {"StartMin", "1"},          {"ShutTime", "3"},
            {"ShutType", "1"}};
}

inline std::string IniText(bool master, const Settings& s) {
    std::ostringstream out;
    auto line = [&](const std::string& text) { out << text << "\r\n"; };
    auto key = [&](const std::string& name) { line(name + "=" + s.at(name)); };
    line(master ? "# Tarnix Version 4.2" : "# Tarnix Slave Version 4.2");
    line("# Configuration File");
    line("# 07-Dec-26 05:04:29");
    line("");
    line("[Comms]");
    key("DName");
    if (master) {
        for (const char* k :
             {"CName0", "CName1", "CName2", "CName3", "CName4", "IPAdd1", "IPAdd2", "IPAdd3", "IPAdd4"})
            key(k);
    } else {
        key("IPAdd");
    }
    key("Port1");
    key("Port2");
    line("");
    line("[Run]");
    for (const char* k : {"CPUDelay", "LogLevel", "LogName", "LogPath", "RunOnTop", "StartDelay", "StartMin"})
        key(k);
    line("");
    line("[Shutdown]");
    key("ShutTime");
    key("ShutType");
    line("");
    return out.str();
}

class ProgramFolder {
public:
    ProgramFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnix-test-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        std::filesystem::create_directories(root_ / "Data");
        std::filesystem::create_directories(root_ / "Log");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root_);
    }
    ~ProgramFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(root_, ignored);
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const std::filesystem::path& Root() const { return root_; }

    void WriteMaster(const Settings& s) const { Write(root_ / "Data" / "TarnixM.ini", IniText(true, s)); }
    void WriteSlave(const Settings& s) const { Write(root_ / "Data" / "TarnixS.ini", IniText(false, s)); }
    // A key file in Data/ as a user makes one: the text and a line end, with the given mode.
    void WriteKey(const std::string& name, const std::string& text,
                  std::filesystem::perms mode = std::filesystem::perms::owner_read |
                                                std::filesystem::perms::owner_write) const {
        Write(root_ / "Data" / name, text + "\n");
        std::filesystem::permissions(root_ / "Data" / name, mode);
    }

    // The log's lines without their CR LF ends.
    std::vector<std::string> LogLines(const std::string& name) const {
        std::ifstream in(root_ / "Log" / name, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    // The event and detail columns of the log's event lines ("Enter,Run"), in order.
    std::vector<std::string> LogEvents(const std::string& name) const {
        std::vector<std::string> events;
        for (const std::string& line : LogLines(name)) {
            if (line.size() < 42 || line[18] != ',') continue;
            events.push_back(Trim(line.substr(21, 9)) + "," + Trim(line.substr(32, 10)));
        }
        return events;
    }

private:
    static void Write(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Trim(std::string text) {
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return text;
    }
    std::filesystem::path root_;
    std::filesystem::path previous_;
};

} // namespace tarnix::testing
