#pragma once

#include <QWidget>
#include <functional>

#include "views/HistoryWindow.h"

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

    // The window's size, column widths and sort are kept in a file of their own (`path`, an
    // INI file beside the settings file): read now, written whenever the window is hidden and
    // at saveLayout(). A missing or damaged value keeps the opening layout.
    void restoreLayout(const QString& path);
    void saveLayout() const;
    // The width that shows every column without a horizontal scroll bar.
    int fullWidth() const;

    // Where a host's history window reads its checks. Without a source, or when it gives no
    // loader (no history kept), the window shows the host's last checks since the start, from
    // the host list, and says so.
    using HistorySource =
        std::function<HistoryWindow::Loader(const QString& title, const QString& address)>;
    void setHistorySource(HistorySource source) { m_historySource = std::move(source); }
    // The history window of the host at `listRow` of the host list, opened (or brought to the
    // front when it is open already); nullptr for no such row.
    HistoryWindow* openHistory(int listRow);

signals:
    // A double click, Enter or "History..." on a row: the host at `listRow` of the host list.
    void historyRequested(int listRow);

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    HostList* m_hosts = nullptr;
    HostStateModel* m_model = nullptr;
    HostStateSortProxy* m_sorted = nullptr;
    QString m_layoutPath;
    bool m_sizeRestored = false;
    QList<int> m_restoredColumns;  // the user's widths, which a language change leaves alone
    HistorySource m_historySource;

    void requestHistory(const QModelIndex& viewIndex);
    void showRowMenu(const QPoint& pos);
};

}  // namespace hv
