#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// The messages master and slaves exchange, each one UDP datagram in the frame
// "<TN" + type letter + state digit + two-digit payload length + payload + ">".
inline constexpr std::string_view PollMessage = "<TNA100>", ResetCommand = "<TNC000>",
                                  TestCommand = "<TNT000>", ErrorReply = "<TNE100>",
                                  Acknowledgement = "<TNC000>";

// True when the text ends in ">", starts with "<TN", has at least 8 characters and its length
// field reads (leniently) as the number of payload characters. Type letter, state digit and
// payload are not looked at, so any bytes there are accepted.
bool IsWellFormed(std::string_view datagram);

// The slave's answer to a well-formed datagram: its action letter and its phase as a digit.
std::string StatusReply(char actionLetter, int phase);

// The readers below expect a text that IsWellFormed accepted; shorter texts read as nothing.
char TypeLetter(std::string_view wellFormed);        // character 4, '\0' when absent
double StateDigitValue(std::string_view wellFormed); // character 5 read as a number, 0 when not one
// A slave recognises a command only by exactly "C0" or "T0" in characters 4-5.
bool IsResetCommand(std::string_view wellFormed);
bool IsTestCommand(std::string_view wellFormed);

} // namespace tarnix
