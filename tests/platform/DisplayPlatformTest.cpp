#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/DisplayPlatform.h"

namespace {

using namespace hv;

TEST(DisplayPlatform, XWaylandIsPreferredUnlessThePlatformWasChosen) {
    const struct {
        const char* what;
        std::map<std::string, QByteArray> env;
        QByteArray expected;
    } cases[] = {
        {"X11 session", {{"DISPLAY", ":0"}}, ""},
        {"Wayland with XWayland", {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}, "xcb"},
        {"Wayland session type with XWayland",
         {{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":1"}},
         "xcb"},
        {"Wayland only", {{"WAYLAND_DISPLAY", "wayland-0"}}, ""},
        {"the user's choice",
         {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}},
         ""},
        {"no display", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto env = [&](const char* name) {
            const auto it = c.env.find(name);
            return it == c.env.end() ? QByteArray() : it->second;
        };
        EXPECT_EQ(DisplayPlatform::choose(env), c.expected);
    }
}

}  // namespace
