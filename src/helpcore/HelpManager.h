#pragma once

#include <QList>
#include <functional>
#include <memory>

#include "helpcore/HelpInterfaces.h"

namespace hv {

// The help manager: keeps the registered viewers in order and dispatches context, topic,
// keyword and contents requests to them. Main thread only.
//
// A new manager registers the built-in WinHelp viewer first, so every request is offered to
// it before the program's own viewer; with a WinHelp tester installed it declines them all.
class HelpManager : public IHelpManager, public std::enable_shared_from_this<HelpManager> {
public:
    static std::shared_ptr<HelpManager> create();
    // The program's help manager, created on first use.
    static const std::shared_ptr<HelpManager>& instance();

    // The application's help file (start-up sets it); "the application's current help file".
    static void setApplicationHelpFile(const QString& file);
    static QString applicationHelpFile();

    // Appends the viewer (and to the extended list when it is one), gives it an identifier
    // and itself as its manager; returns the manager reference the viewer also received.
    std::shared_ptr<IHelpManager> registerViewer(const std::shared_ptr<ICustomHelpViewer>& viewer);

    void setHelpSelector(std::shared_ptr<IHelpSelector> selector) {
        m_selector = std::move(selector);
    }
    void setWinHelpTester(std::shared_ptr<IWinHelpTester> tester) { m_tester = std::move(tester); }
    const std::shared_ptr<IWinHelpTester>& winHelpTester() const { return m_tester; }

    // Requests; each answers whether some viewer took it.
    bool contextHelp(int context, const QString& helpFile);
    bool topicHelp(const QString& topic, const QString& helpFile);
    bool keywordHelp(const QString& keyword);
    bool contentsHelp();

    const QList<std::shared_ptr<ICustomHelpViewer>>& viewers() const { return m_viewers; }

    // IHelpManager
    quintptr helpWindowHandle() const override { return 0; }
    QString currentHelpFile() const override { return m_currentHelpFile; }
    void release(int viewerId) override;

private:
    HelpManager() = default;

    QList<std::shared_ptr<ICustomHelpViewer>> m_viewers;
    QList<std::shared_ptr<IExtendedHelpViewer>> m_extended;
    QList<int> m_ids;  // parallel to m_viewers
    int m_nextId = 1;
    QString m_currentHelpFile;
    std::shared_ptr<IHelpSelector> m_selector;
    std::shared_ptr<IWinHelpTester> m_tester;
};

}  // namespace hv
