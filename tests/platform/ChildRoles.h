#pragma once

namespace tarnix::test {

// Roles of a child started with SpawnSelf, chosen by its first arguments:
//   --child-netns <role...>      enter a fresh network namespace first (exit 77 if refused)
//   --child-hold-mutex <name>    print "held" and wait to be killed, or print "taken"/"failed"
//   --child-no-route-checks      datagram checks that need a namespace without a route
int RunChildRole(int argc, char** argv);

} // namespace tarnix::test
