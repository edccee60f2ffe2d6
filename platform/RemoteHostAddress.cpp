#include "platform/RemoteHostAddress.h"

#include <algorithm>

#include <QHostAddress>
#include <QHostInfo>

#include <arpa/inet.h>

namespace tarnix {

// Lookups report to a slot named by its signature: a receiver that is destroyed first is
// simply disconnected, where Qt 6.4 leaks the callback of a functor lookup in that case.
class HostAnswerReceiver : public QObject {
    Q_OBJECT
public:
    explicit HostAnswerReceiver(RemoteHostAddress& owner) : owner_(owner) {}
public slots:
    void Answer(const QHostInfo& answer) { owner_.TakeAnswer(answer); }

private:
    RemoteHostAddress& owner_;
};

namespace {

std::optional<std::uint32_t> ParseDottedIpv4(const std::string& text) {
    in_addr address{};
    if (::inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

std::vector<std::uint32_t> Ipv4Addresses(const QHostInfo& answer) {
    std::vector<std::uint32_t> addresses;
    if (answer.error() != QHostInfo::NoError) return addresses;
    for (const QHostAddress& candidate : answer.addresses()) {
        bool isIpv4 = false;
        const quint32 address = candidate.toIPv4Address(&isIpv4);
        if (isIpv4) addresses.push_back(address);
    }
    return addresses;
}

} // namespace

RemoteHostAddress::RemoteHostAddress(std::chrono::milliseconds refreshAfter)
    : refreshAfter_(refreshAfter), receiver_(std::make_unique<HostAnswerReceiver>(*this)) {}

RemoteHostAddress::~RemoteHostAddress() {
    AbortLookup();
}

void RemoteHostAddress::Set(const std::string& host) {
    if (host == host_) return;
    AbortLookup();
    host_ = host;
    address_ = ParseDottedIpv4(host);
    failure_.clear();
    known_.clear();
    if (address_) known_.push_back(*address_);
    isName_ = !host.empty() && !address_;
    if (isName_) StartLookup();
}

std::optional<std::uint32_t> RemoteHostAddress::Current() {
    if (isName_ && !LookupRunning()) {
        const bool aged = address_ && answeredAt_.isValid() && answeredAt_.elapsed() >= refreshAfter_.count();
        if (!address_ || aged) StartLookup();
    }
    return address_;
}

void RemoteHostAddress::StartLookup() {
    // Answers are always posted, so the id is known before the answer arrives.
    lookupRunning_ = true;
    lookupId_ =
        QHostInfo::lookupHost(QString::fromStdString(host_), receiver_.get(), SLOT(Answer(QHostInfo)));
}

// The lookup itself runs to its end and its answer is ignored.
void RemoteHostAddress::AbortLookup() {
    lookupRunning_ = false;
    lookupId_ = -1;
}

void RemoteHostAddress::TakeAnswer(const QHostInfo& answer) {
    if (!lookupRunning_ || answer.lookupId() != lookupId_) return;
    lookupRunning_ = false;
    std::vector<std::uint32_t> addresses = Ipv4Addresses(answer);
    if (addresses.empty()) {
        // A working address stays in use; only a name without one has failed.
        if (!address_)
            failure_ = "the name " + host_ + " cannot be looked up: " +
                       (answer.error() == QHostInfo::NoError ? std::string("it has no IPv4 address")
                                                             : answer.errorString().toStdString());
        return;
    }
    failure_.clear();
    address_ = addresses.front();
    known_ = std::move(addresses);
    answeredAt_.start();
}

bool RemoteHostAddress::Matches(std::uint32_t address) const {
    return std::find(known_.begin(), known_.end(), address) != known_.end();
}

} // namespace tarnix

#include "RemoteHostAddress.moc"
