#include "platform/RawCapability.h"

#include <linux/capability.h>
#include <sys/auxv.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>

namespace hv {
namespace RawCapability {

namespace {

struct Sets {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

bool read(Sets& s) { return ::syscall(SYS_capget, &s.header, s.data) == 0; }
bool write(Sets& s) { return ::syscall(SYS_capset, &s.header, s.data) == 0; }

constexpr unsigned kRawBit = 1u << CAP_NET_RAW;  // CAP_NET_RAW (13) lies in the first word

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

bool secureMode() { return ::getauxval(AT_SECURE) != 0; }

void restrictAtStart() {
    // Only a program the kernel started with more privilege than its caller (a file
    // capability, set-id) is restricted; root starting it by hand keeps what root has.
    if (!secureMode()) return;
    for (const char* name : kLoaderVariables) ::unsetenv(name);
    Sets s;
    if (!read(s)) return;
    for (auto& d : s.data) d.effective = 0;
    write(s);
}

Scope::Scope() {
    Sets s;
    if (!read(s)) return;
    if (!(s.data[0].permitted & kRawBit) || (s.data[0].effective & kRawBit)) return;
    s.data[0].effective |= kRawBit;
    m_raised = write(s);
}

Scope::~Scope() {
    if (!m_raised) return;
    Sets s;
    if (!read(s)) return;
    s.data[0].effective &= ~kRawBit;
    write(s);
}

}  // namespace RawCapability
}  // namespace hv
