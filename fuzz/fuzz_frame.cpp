// Any received bytes go through the frame check; none may crash it, read past the datagram or
// make the readers disagree with the check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/link/Datagram.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    if (!tarnix::IsWellFormed(datagram)) return 0;

    // A well-formed frame always has a letter and a digit position, is never longer than the
    // two-digit length field can count, and a command is one only in its exact form.
    if (size < 8 || size > 107) std::abort();
    (void)tarnix::TypeLetter(datagram);
    (void)tarnix::StateDigitValue(datagram);
    if (tarnix::IsResetCommand(datagram) && datagram.substr(3, 2) != "C0") std::abort();
    if (tarnix::IsTestCommand(datagram) && datagram.substr(3, 2) != "T0") std::abort();

    // A reply built from what arrived is itself well-formed and reads back the same.
    const char letter = tarnix::TypeLetter(datagram);
    const int phase = static_cast<unsigned char>(datagram[4]) % 3;
    const std::string reply = tarnix::StatusReply(letter, phase);
    if (!tarnix::IsWellFormed(reply) || tarnix::TypeLetter(reply) != letter ||
        tarnix::StateDigitValue(reply) != phase)
        std::abort();
    return 0;
}
