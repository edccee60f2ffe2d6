#pragma once

namespace tarnix::test {

// Roles of a child started with SpawnSelf, chosen by its first arguments:
//   --child-netns <role...>      enter a fresh network namespace first (exit 77 if refused)
//   --child-hold-mutex <name>    print "held" and wait to be killed, or print "taken"/"failed"
//   --child-no-route-checks      datagram checks that need a namespace without a route
//   --child-several-addresses <folder>
//                                name checks with the folder's hosts and nsswitch.conf as the
//                                machine's (exit 77 without a mount namespace of its own)
int RunChildRole(int argc, char** argv);

} // namespace tarnix::test
