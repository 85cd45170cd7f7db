#pragma once

namespace hv {

// An installed copy may hold CAP_NET_RAW (a file capability) to send raw ICMP echoes. The
// capability is needed only at the moment a raw socket is opened, so the program keeps it out
// of its effective set otherwise, and it loads no code from places a user controls.
namespace RawCapability {

// Runs first in main(), before any thread or library starts. In secure mode only (set-id or
// file capabilities): drops the variables that would make Qt or GTK load plugins or modules from
// folders the user names, then clears the effective capability set (the permitted set keeps
// CAP_NET_RAW for Scope). Threads started later inherit the cleared set.
void restrictAtStart();

// True when the kernel started this program in secure mode (AT_SECURE).
bool secureMode();

// False once a change of the capability sets has failed (said once on stderr): the ICMP echo
// then keeps to the datagram socket for the rest of the run, as without the capability.
bool rawSocketUsable();

// Tests: stand-ins for the capset system call and for secure mode (null: the real ones).
// Setting them also forgets an earlier failure.
struct TestHooks {
    int (*capset)(void* header, void* data) = nullptr;
    bool (*secureMode)() = nullptr;
};
void setTestHooks(const TestHooks& hooks);

// Raises CAP_NET_RAW in the calling thread's effective set for its lifetime when it is
// permitted; does nothing otherwise, nor once rawSocketUsable() is false. Capability sets are per
// thread on Linux, so this affects no other thread.
class Scope {
public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    bool m_raised = false;
};

}  // namespace RawCapability
}  // namespace hv
