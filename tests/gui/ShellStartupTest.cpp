#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <csignal>
#include <cstdlib>

#include "shell/QuitSignals.h"
#include "shell/StartupSequence.h"

namespace {

// Sets or clears environment variables for one scope.
class EnvScope {
public:
    EnvScope(std::initializer_list<std::pair<const char*, const char*>> vars) {
        for (const auto& [name, value] : vars) {
            const char* old = std::getenv(name);
            m_saved.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
            if (value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
    }
    ~EnvScope() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

TEST(ShellStartupTest, DisplayIsFoundFromTheEnvironment) {
    const struct {
        const char* display;
        const char* wayland;
        const char* platform;
        bool has;
    } cases[] = {
        {nullptr, nullptr, nullptr, false},    {"", "", "", false},
        {":0", nullptr, nullptr, true},        {nullptr, "wayland-0", nullptr, true},
        {nullptr, nullptr, "offscreen", true},
    };
    for (const auto& c : cases) {
        EnvScope env({{"DISPLAY", c.display},
                      {"WAYLAND_DISPLAY", c.wayland},
                      {"QT_QPA_PLATFORM", c.platform}});
        EXPECT_EQ(hv::StartupSequence::hasDisplay(), c.has)
            << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-");
    }
    EXPECT_TRUE(hv::StartupSequence::noDisplayMessage().startsWith("hostvane: no display"));
    EXPECT_TRUE(hv::StartupSequence::noDisplayMessage().contains("hostvane --once"));
}

TEST(ShellStartupTest, TermAndIntBecomeQuitRequests) {
    hv::QuitSignals quitSignals;
    QList<int> got;
    QObject::connect(&quitSignals, &hv::QuitSignals::quitRequested, [&](int sig) { got << sig; });
    for (int sig : {SIGTERM, SIGINT}) {
        std::raise(sig);
        QElapsedTimer t;
        t.start();
        while (got.size() < 1 && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_EQ(got, QList<int>({sig}));
        got.clear();
    }
}

TEST(ShellStartupTest, ActivationChoosesAVisibleWindowOrNone) {
    EXPECT_EQ(hv::StartupSequence::windowToActivate(), nullptr);
    QWidget popup;
    popup.setObjectName("frmMain");  // the balloon is never brought forward
    popup.show();
    EXPECT_EQ(hv::StartupSequence::windowToActivate(), nullptr);
    QWidget log;
    log.show();
    EXPECT_EQ(hv::StartupSequence::windowToActivate(), &log);
}

}  // namespace
