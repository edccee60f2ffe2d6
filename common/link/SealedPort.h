#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/link/DatagramPort.h"
#include "common/link/LinkSeal.h"

namespace tarnix {

// The datagrams of one link as the program sees them, over the socket that carries them. Without
// a key it passes everything through unchanged, except keyed datagrams, which such a program
// cannot hear; with a key it seals what is sent and passes on only what its peer sealed afresh.
// What is not heard is dropped as a stranger's datagram is: no arrival, no answer. Drops are
// counted, and reported at most once a minute.
class SealedPort : public DatagramPort {
public:
    struct Drops {
        std::uint64_t keyMismatch = 0;
        std::uint64_t replayed = 0;
        std::uint64_t outdated = 0; // good tag, out-of-date echo: after a restart, or a recording
        friend bool operator==(const Drops&, const Drops&) = default;
    };
    // Answers to out-of-date datagrams per tick: enough for a restarting peer, too few to let a
    // flood of recordings make this end send a flood.
    static constexpr int kAnswersPerTick = 8;
    static constexpr int kReportIntervalMs = 60'000;

    SealedPort(DatagramPort& socket, SealSide side);

    // Sealing with the key from now on, as after a start; nothing: unkeyed.
    void UseKey(Sealing& sealing, const std::optional<PeerKey>& key);
    void UseNoKey();
    bool Keyed() const { return seal_ != nullptr; }
    const Drops& Dropped() const { return total_; }

    // Once per supervision tick of tickMs: the answers' allowance comes back, and the text of a
    // report of the drops since the last one, when one is due.
    std::optional<std::string> OnTick(int tickMs);

    void Close() override { socket_.Close(); }
    bool SetRemoteHost(const std::string& host) override;
    bool SetRemotePort(std::int32_t port) override { return socket_.SetRemotePort(port); }
    bool Bind(std::int32_t localPort) override { return socket_.Bind(localPort); }
    bool Send(const std::string& datagram) override;
    void Reply(const std::string& datagram) override;
    void SetArrivalHandler(ArrivalHandler handler) override { handler_ = std::move(handler); }
    void ReadArrived() override { socket_.ReadArrived(); }
    std::string LookupFailure() const override { return socket_.LookupFailure(); }

private:
    void OnArrival(const Arrival& arrival);
    void OpenSealed(const std::string& datagram);
    void TellNewChallenge();
    void Count(std::uint64_t Drops::*reason);
    std::string ReportText() const;

    DatagramPort& socket_;
    SealSide side_;
    std::unique_ptr<LinkSeal> seal_;
    ArrivalHandler handler_;
    std::string peer_;
    std::string frame_; // reused: no allocation per arrival
    Drops total_;
    Drops unreported_;
    int answersLeft_ = kAnswersPerTick;
    bool replied_ = false;             // the program answered the arrival being handled
    std::optional<int> sinceReportMs_; // nothing: no report made yet
};

} // namespace tarnix
