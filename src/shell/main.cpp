#include <cstdio>
#include <optional>

#include "platform/RawCapability.h"
#include "shell/CheckOnce.h"
#include "shell/StartupSequence.h"

int main(int argc, char** argv) {
    hv::RawCapability::restrictAtStart();

    // --once, --version, --help and usage errors need no display.
    if (const std::optional<int> status = hv::runCommandLine(argc, argv)) return *status;

    if (!hv::StartupSequence::hasDisplay()) {
        std::fprintf(stderr, "%s\n", qPrintable(hv::StartupSequence::noDisplayMessage()));
        return 2;
    }
    return hv::StartupSequence::run(argc, argv);
}
