#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "once/CheckOnce.h"
#include "shell/GuiModule.h"

namespace {

int runGui(int argc, char** argv) {
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) {
        std::fprintf(stderr, "hostvane: cannot find the program's own file: %s\n",
                     std::strerror(errno));
        return 1;
    }
    exe[n] = '\0';
    std::string module(exe);
    module = module.substr(0, module.rfind('/') + 1) + HV_GUI_MODULE_FILE;

    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "hostvane: cannot load the program's windows (%s): %s\n",
                     module.c_str(), ::dlerror());
        return 1;
    }
    using Entry = int (*)(int, char**);
    auto entry = reinterpret_cast<Entry>(::dlsym(handle, HV_GUI_MODULE_ENTRY));
    if (!entry) {
        std::fprintf(stderr, "hostvane: %s is not this program's module: %s\n", module.c_str(),
                     ::dlerror());
        return 1;
    }
    // The module stays loaded until the process ends: Qt's exit handlers run after main.
    return entry(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    // --once, --version, --help and usage errors need no display and no widgets.
    if (argc < 2 || std::strcmp(argv[1], "--check-language") != 0) {
        if (const std::optional<int> status = hv::runCommandLine(argc, argv)) return *status;
    }
    return runGui(argc, argv);
}
