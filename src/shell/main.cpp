#include <cstdio>
#include <optional>

#include "shell/CheckOnce.h"
#include "shell/StartupSequence.h"

// CALL SITE PENDING: until CheckOnce.h declares hv::runCommandLine(int, char**), this stand-in
// takes part in the call below; the real non-template function wins overload resolution as
// soon as it is declared, and then this block should be deleted.
namespace hv {
template <typename... Args>
std::optional<int> runCommandLine(Args&&...) {
    return std::nullopt;
}
}  // namespace hv

int main(int argc, char** argv) {
    // --once, --version, --help and usage errors need no display.
    if (const std::optional<int> status = hv::runCommandLine(argc, argv)) return *status;

    if (!hv::StartupSequence::hasDisplay()) {
        std::fprintf(stderr, "%s\n", qPrintable(hv::StartupSequence::noDisplayMessage()));
        return 2;
    }
    return hv::StartupSequence::run(argc, argv);
}
