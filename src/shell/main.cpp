#include <cstdio>
#include <cstring>
#include <optional>

#include "platform/RawCapability.h"
#include "shell/CheckLanguage.h"
#include "shell/CheckOnce.h"
#include "shell/StartupSequence.h"

int main(int argc, char** argv) {
    hv::RawCapability::restrictAtStart();

    // Translators' check of a language file; builds the windows offscreen.
    if (argc >= 2 && std::strcmp(argv[1], "--check-language") == 0)
        return hv::CheckLanguage::main(argc, argv);
    // --once, --version, --help and usage errors need no display.
    if (const std::optional<int> status = hv::runCommandLine(argc, argv)) return *status;

    if (!hv::StartupSequence::hasDisplay()) {
        std::fprintf(stderr, "%s\n", qPrintable(hv::StartupSequence::noDisplayMessage()));
        return 2;
    }
    return hv::StartupSequence::run(argc, argv);
}
