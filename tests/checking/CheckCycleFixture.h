#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <atomic>
#include <vector>

#include "ScriptedProbes.h"
#include "TestSupport.h"
#include "checking/CheckCycle.h"
#include "hosts/HostList.h"
#include "lang/Languages.h"

namespace hvtest {

// A real checking thread over a real host list, with scripted probes and a recording sink;
// the hand-overs are served by this thread's event loop while the test pumps it.
template <class Sink>
class CheckCycleWith : public ::testing::Test {
protected:
    void SetUp() override {
        m_exeDir.write(QStringLiteral("Languages/English.lng"),
                       "[Messages]\r\n"
                       "AppearHost=Host appeared:\r\n"
                       "LoseHost=Host lost:\r\n"
                       "LoseHosts=Lost hosts:\r\n"
                       "AppearHosts=Appeared hosts:\r\n");
        hv::Languages::instance().setExecutable(m_exeDir.file(QStringLiteral("hostvane")));
        hv::Languages::instance().setCurrentLanguage(QStringLiteral("English"));
        probes.watch(thread.cancelHandle());
        thread.setPassFinished([this] { ++passes; });
        thread.start();
    }

    void TearDown() override { thread.stop(); }

    // Resumes the thread and serves its hand-overs until the pass has ended and the thread
    // waits again.
    void runPass() {
        const int before = passes.load();
        thread.resume();
        ASSERT_TRUE(pumpUntil([&] { return passes.load() > before && thread.isSuspended(); }));
    }

    std::vector<int> images() const {
        std::vector<int> out;
        for (const hv::Host& h : hosts.hosts()) out.push_back(h.stateImage);
        return out;
    }

    TempDir m_exeDir;
    hv::HostList hosts;
    ScriptedProbes probes;
    Sink sink;
    std::atomic<int> passes{0};
    hv::CheckCycle thread{hosts, sharedProbes(probes), sink};
};

using CheckCycle = CheckCycleWith<RecordingSink>;

}  // namespace hvtest
