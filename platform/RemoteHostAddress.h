#pragma once

#include <QElapsedTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QHostInfo;

namespace tarnix {

class HostAnswerReceiver;

// The remote host of a datagram port. A dotted IPv4 address is used as given. A domain name is
// looked up in the background (the window thread never waits for a name server) and its
// answer kept: setting the same name again costs nothing, an answer older than refreshAfter is
// renewed in the background while the old one stays in use, and a failed lookup never drops a
// working address. A name without an answer yet has no address; asking for it again starts a
// new lookup when none is running, so a name server that was down at start-up is retried.
class RemoteHostAddress {
public:
    explicit RemoteHostAddress(std::chrono::milliseconds refreshAfter = std::chrono::minutes(5));
    ~RemoteHostAddress();
    RemoteHostAddress(const RemoteHostAddress&) = delete;
    RemoteHostAddress& operator=(const RemoteHostAddress&) = delete;

    // Empty clears the host.
    void Set(const std::string& host);

    // The IPv4 address in host byte order to send to now; nothing while unknown.
    std::optional<std::uint32_t> Current();

    bool LookupRunning() const { return lookupRunning_; }
    // Why the name has no address, from its last answer; empty while it has one or none came yet.
    const std::string& LookupFailure() const { return failure_; }

    // Whether a datagram from this IPv4 address (host byte order) comes from the host: the
    // address itself, or any IPv4 address of the name's last answer. Nothing matches an empty
    // host or a name without an answer yet.
    bool Matches(std::uint32_t address) const;

private:
    friend class HostAnswerReceiver;

    void StartLookup();
    void AbortLookup();
    void TakeAnswer(const QHostInfo& answer);

    std::chrono::milliseconds refreshAfter_;
    std::string host_;
    bool isName_ = false;
    std::optional<std::uint32_t> address_;
    std::vector<std::uint32_t> known_; // every address the host stands for
    QElapsedTimer answeredAt_;
    bool lookupRunning_ = false;
    std::string failure_;
    int lookupId_ = -1; // answers of other lookups are stale
    // Receives the lookup answers; destroying it (with this object) drops pending answers.
    std::unique_ptr<HostAnswerReceiver> receiver_;
};

} // namespace tarnix
