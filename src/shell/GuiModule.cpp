#include "shell/GuiModule.h"

#include <cstdio>
#include <cstring>

#include "shell/CheckLanguage.h"
#include "shell/StartupSequence.h"

extern "C" __attribute__((visibility("default"))) int hostvaneGuiMain(int argc, char** argv) {
    // Translators' check of a language file; builds the windows offscreen.
    if (argc >= 2 && std::strcmp(argv[1], "--check-language") == 0)
        return hv::CheckLanguage::main(argc, argv);
    if (!hv::StartupSequence::hasDisplay()) {
        std::fprintf(stderr, "%s\n", qPrintable(hv::StartupSequence::noDisplayMessage()));
        return 2;
    }
    return hv::StartupSequence::run(argc, argv);
}
