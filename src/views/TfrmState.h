#pragma once

#include <QWidget>

class QLabel;
class QStatusBar;
class QTreeWidget;

namespace hv {

class HostList;

// The host state table: one read-only row per host (title, address, state image), kept
// current from the host list's signals while hidden too.
class TfrmState : public QWidget {
    Q_OBJECT
public:
    explicit TfrmState(QWidget* parent = nullptr);

    QTreeWidget* lvHostState = nullptr;
    QStatusBar* sbHostState = nullptr;
    QLabel* plItemsCount = nullptr;  // " N items"

    // Mirrors the list from now on (rebuilt → refill and count text; stateImageChanged → row).
    void attach(HostList& hosts);
    // Hide first when visible, then show and raise.
    void miShowStateTable();
    // Rebuilds rows and count text from the list (also used after a language change).
    void refill();

private:
    HostList* m_hosts = nullptr;
};

}  // namespace hv
