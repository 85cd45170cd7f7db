#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QString>
#include <QStringList>
#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>

#include "platform/RawCapability.h"

namespace {

using namespace hv;

constexpr unsigned kRaw = 1u << CAP_NET_RAW;

struct ThreadCaps {
    unsigned effective = 0;
    unsigned permitted = 0;
};

ThreadCaps threadCaps() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) return {};
    return {data[0].effective, data[0].permitted};
}

// Takes CAP_NET_RAW out of the calling thread's effective set and keeps it permitted, as the
// program runs after its start.
bool lowerRaw() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    data[0].effective &= ~kRaw;
    return ::syscall(SYS_capset, &header, data) == 0;
}

// Capability sets belong to a thread: every case runs on one of its own.
void onOwnThread(const std::function<void()>& body) { std::thread(body).join(); }

std::atomic<int> g_capsetCalls{0};

int failingCapset(void*, void*) {
    ++g_capsetCalls;
    errno = EPERM;
    return -1;
}

// Raises for real but fails to lower again.
int failingLowering(void* header, void* data) {
    ++g_capsetCalls;
    if (!(static_cast<__user_cap_data_struct*>(data)[0].effective & kRaw)) {
        errno = EPERM;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_capset, header, data));
}

bool secure() { return true; }

class RawCapabilityTest : public ::testing::Test {
protected:
    void SetUp() override { g_capsetCalls = 0; }
    void TearDown() override { RawCapability::setTestHooks({}); }

    static bool rawPermitted() { return (threadCaps().permitted & kRaw) != 0; }
};

TEST_F(RawCapabilityTest, AScopeRaisesTheCapabilityForItsLifetimeOnly) {
    if (!rawPermitted()) GTEST_SKIP() << "CAP_NET_RAW is not permitted here";
    RawCapability::setTestHooks({});
    bool lowered = false, inside = false, after = true;
    testing::internal::CaptureStderr();
    onOwnThread([&] {
        lowered = lowerRaw() && !(threadCaps().effective & kRaw);
        {
            const RawCapability::Scope privileged;
            inside = threadCaps().effective & kRaw;
        }
        after = threadCaps().effective & kRaw;
    });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(lowered);
    EXPECT_TRUE(inside);
    EXPECT_FALSE(after);
    EXPECT_TRUE(RawCapability::rawSocketUsable());
}

// A capset that fails is said in one line, and the raw socket is given up for the run: no
// later scope tries again.
TEST_F(RawCapabilityTest, AFailedCapsetIsSaidOnceAndGivesUpTheRawSocket) {
    const struct {
        const char* what;
        int (*capset)(void*, void*);
        bool atStart;      // restrictAtStart in secure mode, else a scope
        bool needsRaw;     // the case needs CAP_NET_RAW permitted
        bool raisedAfter;  // CAP_NET_RAW effective once the scope has ended
    } cases[] = {
        {"clearing the effective set at start", failingCapset, true, false, false},
        {"raising in a scope", failingCapset, false, true, false},
        {"lowering at the end of a scope", failingLowering, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRaw && !rawPermitted()) continue;
        RawCapability::TestHooks hooks;
        hooks.capset = c.capset;
        hooks.secureMode = secure;
        RawCapability::setTestHooks(hooks);
        g_capsetCalls = 0;
        bool raisedAfter = false;
        int callsOfALaterScope = -1;
        testing::internal::CaptureStderr();
        onOwnThread([&] {
            if (c.atStart) {
                RawCapability::restrictAtStart();
            } else {
                ASSERT_TRUE(lowerRaw());
                { const RawCapability::Scope privileged; }
                raisedAfter = threadCaps().effective & kRaw;
                lowerRaw();
            }
            const int before = g_capsetCalls;
            { const RawCapability::Scope later; }
            callsOfALaterScope = g_capsetCalls - before;
        });
        const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
        const QStringList lines = err.split(u'\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 1) << err.toStdString();
        EXPECT_TRUE(lines.value(0).startsWith("hostvane: ")) << err.toStdString();
        EXPECT_TRUE(err.endsWith(u'\n'));
        EXPECT_FALSE(RawCapability::rawSocketUsable());
        EXPECT_EQ(raisedAfter, c.raisedAfter);
        EXPECT_EQ(callsOfALaterScope, 0);
    }
}

TEST_F(RawCapabilityTest, ClearingAtStartInSecureModeEmptiesTheEffectiveSet) {
    if (!rawPermitted()) GTEST_SKIP() << "CAP_NET_RAW is not permitted here";
    RawCapability::TestHooks hooks;
    hooks.secureMode = secure;
    RawCapability::setTestHooks(hooks);
    ThreadCaps caps;
    testing::internal::CaptureStderr();
    onOwnThread([&] {
        RawCapability::restrictAtStart();
        caps = threadCaps();
    });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(caps.effective, 0u);
    EXPECT_NE(caps.permitted & kRaw, 0u);
    EXPECT_TRUE(RawCapability::rawSocketUsable());
}

}  // namespace
