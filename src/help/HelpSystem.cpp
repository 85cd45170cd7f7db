#include "help/HelpSystem.h"

#include <memory>

#include "help/HtmlHelp.h"
#include "helpcore/HelpManager.h"
#include "helpcore/HtmlHelpViewer.h"
#include "helpcore/WinHelpTester.h"
#include "widgets/HelpContext.h"

namespace hv {

namespace {
std::shared_ptr<HtmlHelpViewer>& theViewer() {
    static std::shared_ptr<HtmlHelpViewer> viewer;
    return viewer;
}
}  // namespace

HelpSystem::HelpSystem(const QString& executableDir) {
    auto viewer = std::make_shared<HtmlHelpViewer>(&htmlHelp, executableDir);
    const auto& manager = HelpManager::instance();
    manager->registerViewer(viewer);
    manager->setHelpSelector(viewer);
    manager->setWinHelpTester(std::make_shared<WinHelpTester>());
    theViewer() = viewer;
    installF1Handling();
}

HelpSystem::~HelpSystem() {
    if (auto& viewer = theViewer()) {
        viewer->shutdown();
        HelpManager::instance()->setHelpSelector(nullptr);
        viewer.reset();
    }
}

HtmlHelpViewer* HelpSystem::viewer() { return theViewer().get(); }

}  // namespace hv
