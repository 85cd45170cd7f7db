#pragma once

#include <QWidget>

class QLabel;
class QStatusBar;
class QTableView;

namespace hv {

class HostList;
class HostStateModel;
class HostStateSortProxy;

// The host state table: one read-only row per host (state image and title, address, then the
// host's figures), kept current from the host list's signals while hidden too. Clicking a
// column header sorts the table only; the host list keeps its order.
class StateWindow : public QWidget {
    Q_OBJECT
public:
    explicit StateWindow(QWidget* parent = nullptr);

    QTableView* lvHostState = nullptr;
    QStatusBar* sbHostState = nullptr;
    QLabel* plItemsCount = nullptr;  // " N items"

    // The rows in list order, and as the table shows them (sorted or not).
    HostStateModel* model() const { return m_model; }
    HostStateSortProxy* sorted() const { return m_sorted; }

    // Mirrors the list from now on (rebuilt → rows and count text; state and figures → row).
    void attach(HostList& hosts);
    // Hide first when visible, then show and raise.
    void miShowStateTable();
    // The count text, built again (after a rebuild).
    void refill();
    // The column titles that come from messages, read again: part of translating the window.
    void retranslateColumns();

protected:
    void changeEvent(QEvent* event) override;

private:
    HostList* m_hosts = nullptr;
    HostStateModel* m_model = nullptr;
    HostStateSortProxy* m_sorted = nullptr;
};

}  // namespace hv
