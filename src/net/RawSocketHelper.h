#pragma once

#include <string>

namespace hv {

// Raw ICMP sockets from hostvane-icmp-helper, for a program that holds no capability itself.
// The helper is started once per batch of sockets and exits at once; the sockets wait here,
// queueing nothing, until an echo takes one. The next batch is asked for while a few are left,
// so that an echo seldom waits for the helper to start (only the first of a run does). Sockets
// belong to the network namespace of the thread that asked for them, so they are kept apart per
// namespace.
namespace RawSocketHelper {

// A raw socket of the family (AF_INET, AF_INET6) with the helper's filters, owned by the
// caller from now on; -1 when the helper is missing or refuses. A refusal is remembered for
// the family and namespace for the rest of the run, so the helper is not started again and
// again.
int takeSocket(int family);

// The helper started: by default hostvane-icmp-helper beside the program's executable. Setting
// it (tests) also closes the waiting sockets and forgets earlier refusals.
void setProgram(const std::string& path);
std::string program();

// How often the helper has been started in this run (tests).
int starts();

}  // namespace RawSocketHelper
}  // namespace hv
