#include "help/HelpSystem.h"

#include <memory>

#include "help/HelpContext.h"
#include "help/HtmlHelp.h"
#include "help/core/HelpManager.h"
#include "help/core/THtmlHelpViewer.h"
#include "help/core/TWinHelpTester.h"

namespace hv {

namespace {
std::shared_ptr<THtmlHelpViewer>& theViewer() {
    static std::shared_ptr<THtmlHelpViewer> viewer;
    return viewer;
}
}  // namespace

HelpSystem::HelpSystem(const QString& executableDir) {
    auto viewer = std::make_shared<THtmlHelpViewer>(&HtmlHelp, executableDir);
    const auto& manager = HelpManager::instance();
    manager->RegisterViewer(viewer);
    manager->setHelpSelector(viewer);
    manager->setWinHelpTester(std::make_shared<TWinHelpTester>());
    theViewer() = viewer;
    installF1Handling();
}

HelpSystem::~HelpSystem() {
    if (auto& viewer = theViewer()) {
        viewer->Shutdown();
        HelpManager::instance()->setHelpSelector(nullptr);
        viewer.reset();
    }
}

THtmlHelpViewer* HelpSystem::viewer() { return theViewer().get(); }

}  // namespace hv
