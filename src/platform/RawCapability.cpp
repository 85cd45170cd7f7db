#include "platform/RawCapability.h"

#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hv {
namespace RawCapability {

namespace {

struct Sets {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

std::atomic<int (*)(void*, void*)> g_capset{nullptr};
std::atomic<bool (*)()> g_secureMode{nullptr};
std::atomic<bool> g_failed{false};

bool read(Sets& s) { return ::syscall(SYS_capget, &s.header, s.data) == 0; }
bool write(Sets& s) {
    if (const auto capset = g_capset.load()) return capset(&s.header, s.data) == 0;
    return ::syscall(SYS_capset, &s.header, s.data) == 0;
}

constexpr unsigned kRawBit = 1u << CAP_NET_RAW;  // CAP_NET_RAW (13) lies in the first word

// A change of the sets that failed: the raw socket is given up for the rest of the run (the
// echo takes the datagram socket), and that is said once.
void capsetFailed(const char* what) {
    const int error = errno;
    if (g_failed.exchange(true)) return;
    char buffer[128];
    std::fprintf(stderr,
                 "hostvane: cannot %s (capset: %s); ICMP echoes use the datagram socket from "
                 "now on\n",
                 what, ::strerror_r(error, buffer, sizeof buffer));
}

// Variables through which a user could have code loaded into a process that holds the
// capability. glibc already ignores LD_PRELOAD and LD_LIBRARY_PATH in secure mode.
constexpr const char* kLoaderVariables[] = {
    "QT_PLUGIN_PATH",
    "QT_QPA_PLATFORM_PLUGIN_PATH",
    "QT_QPA_PLATFORMTHEME",
    "QT_QPA_GENERIC_PLUGINS",
    "QT_STYLE_OVERRIDE",
    "QT_IM_MODULE",
    "QT_ACCESSIBILITY_PLUGIN_PATH",
    "GTK_MODULES",
    "GTK3_MODULES",
    "GTK_PATH",
    "GTK_IM_MODULE",
    "GIO_EXTRA_MODULES",
};

}  // namespace

bool secureMode() {
    if (const auto hook = g_secureMode.load()) return hook();
    return ::getauxval(AT_SECURE) != 0;
}

bool rawSocketUsable() { return !g_failed.load(); }

void setTestHooks(const TestHooks& hooks) {
    g_capset = hooks.capset;
    g_secureMode = hooks.secureMode;
    g_failed = false;
}

void restrictAtStart() {
    // Only a program the kernel started with more privilege than its caller (a file
    // capability, set-id) is restricted; root starting it by hand keeps what root has.
    if (!secureMode()) return;
    for (const char* name : kLoaderVariables) ::unsetenv(name);
    Sets s;
    if (!read(s)) return;
    for (auto& d : s.data) d.effective = 0;
    if (!write(s)) capsetFailed("clear the effective capabilities");
}

Scope::Scope() {
    if (!rawSocketUsable()) return;
    Sets s;
    if (!read(s)) return;
    if (!(s.data[0].permitted & kRawBit) || (s.data[0].effective & kRawBit)) return;
    s.data[0].effective |= kRawBit;
    m_raised = write(s);
    if (!m_raised) capsetFailed("raise CAP_NET_RAW");
}

Scope::~Scope() {
    if (!m_raised) return;
    Sets s;
    if (!read(s)) return;
    s.data[0].effective &= ~kRawBit;
    if (!write(s)) capsetFailed("lower CAP_NET_RAW");
}

}  // namespace RawCapability
}  // namespace hv
