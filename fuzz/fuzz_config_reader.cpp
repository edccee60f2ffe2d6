// Feeds arbitrary bytes to the configuration reader and the start-up check of both programs.
// Neither may crash, hang or throw. A file that passes both must also survive the writer: the
// record saved again reads back to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "common/config/ConfigFile.h"
#include "common/config/ConfigSchema.h"

namespace {

using namespace tarnix;

// An anonymous in-memory file, opened by its /proc path like any other file, so no run
// leaves anything behind on disk.
class ScratchFile {
public:
    ScratchFile() : fd_(::memfd_create("tarnix-fuzz", MFD_CLOEXEC)) {
        if (fd_ < 0) std::abort();
    }
    std::filesystem::path Path() const { return "/proc/self/fd/" + std::to_string(fd_); }
    void Fill(const char* data, std::size_t size) const {
        if (::ftruncate(fd_, 0) != 0) std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
    }

private:
    int fd_;
};

bool HasCarriageReturn(const ConfigRecord& r) {
    for (const std::string& text : r.CName)
        if (text.find('\r') != std::string::npos) return true;
    for (const std::string& text : r.IPAdd)
        if (text.find('\r') != std::string::npos) return true;
    return r.LogName.find('\r') != std::string::npos || r.LogPath.find('\r') != std::string::npos;
}

void CheckRoundTrip(ProgramKind kind, const ConfigRecord& record) {
    if (HasCarriageReturn(record)) return; // the writer refuses line breaks in texts
    const std::tm when{};
    const std::string text = ConfigurationText(kind, ScreenValuesOf(kind, record), when);
    static const ScratchFile saved;
    saved.Fill(text.data(), text.size());
    const auto file = saved.Path();
    ConfigRecord again;
    std::string configText;
    bool unconfigured = false;
    if (ReadConfiguration(file, kind, again, configText) || ValidateConfiguration(kind, again, unconfigured))
        std::abort();
    if (ConfigurationText(kind, ScreenValuesOf(kind, again), when) != text) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile input;
    input.Fill(reinterpret_cast<const char*>(data), size);
    const auto file = input.Path();
    for (const ProgramKind kind : {ProgramKind::Master, ProgramKind::Slave}) {
        ConfigRecord record;
        std::string configText;
        bool unconfigured = false;
        if (ReadConfiguration(file, kind, record, configText)) continue;
        if (ValidateConfiguration(kind, record, unconfigured)) continue;
        CheckRoundTrip(kind, record);
    }
    return 0;
}
