#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

#include "common/config/ConfigRecord.h"

namespace tarnix {

// The service's one-instance claim, which only root and the service's own user can make: a
// lock in the service's runtime folder (/run/tarnix, which only they may write), held for the
// process's life, and beside it a file anyone may read that names the process. An ordinary user
// can neither take the lock first nor fake the file, so nobody can keep the service from
// guarding the computer; the desktop programs read the file to stand back while it runs.
class ServiceClaim {
public:
    static std::filesystem::path DefaultFolder(); // $RUNTIME_DIRECTORY, else /run/tarnix

    explicit ServiceClaim(std::filesystem::path folder);
    ~ServiceClaim();
    ServiceClaim(const ServiceClaim&) = delete;
    ServiceClaim& operator=(const ServiceClaim&) = delete;

    // False when another service holds the claim or it cannot be made; whyNot says which.
    bool Claim(std::string& whyNot);
    const std::filesystem::path& Folder() const { return folder_; }

private:
    bool MakeFolder(std::string& whyNot) const;

    std::filesystem::path folder_;
    int fd_ = -1;
};

// The process of a running service that claimed folder, if any.
std::optional<pid_t> RunningService(const std::filesystem::path& folder = "/run/tarnix");
// The role of that service, as its command line gives it; none when none runs.
std::optional<ProgramKind> RunningServiceKind(const std::filesystem::path& folder = "/run/tarnix");

} // namespace tarnix
