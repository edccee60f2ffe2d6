#include "common/link/SealedPort.h"

#include <algorithm>

namespace tarnix {

SealedPort::SealedPort(DatagramPort& socket, SealSide side) : socket_(socket), side_(side) {
    socket_.SetArrivalHandler([this](const Arrival& arrival) { OnArrival(arrival); });
}

void SealedPort::UseKey(Sealing& sealing, const std::optional<PeerKey>& key) {
    if (!key) return UseNoKey();
    seal_ = std::make_unique<LinkSeal>(side_, sealing, *key);
}

void SealedPort::UseNoKey() {
    seal_.reset();
}

bool SealedPort::SetRemoteHost(const std::string& host) {
    peer_ = host;
    return socket_.SetRemoteHost(host);
}

bool SealedPort::Send(const std::string& datagram) {
    return socket_.Send(seal_ ? seal_->Seal(datagram) : datagram);
}

void SealedPort::Reply(const std::string& datagram) {
    replied_ = true;
    socket_.Reply(seal_ ? seal_->Seal(datagram) : datagram);
}

// A program that does not answer at once (a slave that is not listening yet, a master) would
// leave its peer echoing the old challenge, and the peer's next datagram, a command perhaps,
// would be out of date: an empty datagram tells it the new one. A seal may be gone if the handler
// reopened the port without a key.
void SealedPort::TellNewChallenge() {
    if (seal_ == nullptr || !seal_->TakeNewChallengeNotice() || replied_) return;
    socket_.Reply(seal_->Seal({}));
}

void SealedPort::OnArrival(const Arrival& arrival) {
    // A stranger's datagram and a read error reach the program as before: it drops the one and
    // counts the other as it always has.
    if (!arrival.fromRemoteHost || !arrival.datagram) {
        if (handler_) handler_(arrival);
        return;
    }
    if (seal_) return OpenSealed(*arrival.datagram);
    if (LooksSealed(*arrival.datagram)) return Count(&Drops::keyMismatch);
    if (handler_) handler_(arrival);
}

void SealedPort::OpenSealed(const std::string& datagram) {
    switch (seal_->Open(datagram, frame_)) {
    case LinkSeal::Verdict::Frame:
        replied_ = false;
        if (handler_) handler_(Arrival{frame_, true});
        return TellNewChallenge();
    case LinkSeal::Verdict::Accepted:
        replied_ = false;
        return TellNewChallenge();
    case LinkSeal::Verdict::Handshake:
        ++total_.outdated;
        if (answersLeft_ > 0) {
            --answersLeft_;
            socket_.Reply(seal_->Answer());
        }
        return;
    case LinkSeal::Verdict::Outdated:
        ++total_.outdated;
        return;
    case LinkSeal::Verdict::KeyMismatch:
        return Count(&Drops::keyMismatch);
    case LinkSeal::Verdict::Replayed:
        return Count(&Drops::replayed);
    }
}

void SealedPort::Count(std::uint64_t Drops::*reason) {
    ++(total_.*reason);
    ++(unreported_.*reason);
}

std::optional<std::string> SealedPort::OnTick(int tickMs) {
    answersLeft_ = kAnswersPerTick;
    if (sinceReportMs_) *sinceReportMs_ = std::min(*sinceReportMs_ + tickMs, kReportIntervalMs);
    if (unreported_.keyMismatch == 0 && unreported_.replayed == 0) return std::nullopt;
    if (sinceReportMs_ && *sinceReportMs_ < kReportIntervalMs) return std::nullopt;
    std::string text = ReportText();
    unreported_ = {};
    sinceReportMs_ = 0;
    return text;
}

// "<peer>: 12 dropped, key mismatch": the reasons of the drops since the last report.
std::string SealedPort::ReportText() const {
    std::string text = (peer_.empty() ? std::string("peer") : peer_) + ":";
    const auto add = [&](std::uint64_t count, const char* reason) {
        if (count == 0) return;
        if (text.back() != ':') text += ";";
        text += " " + std::to_string(count) + " dropped, " + reason;
    };
    add(unreported_.keyMismatch, "key mismatch");
    add(unreported_.replayed, "replayed");
    return text;
}

} // namespace tarnix
