#include "views/StateWindow.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "checking/HostStateModel.h"
#include "checking/HostStateSortProxy.h"
#include "hosts/HostList.h"
#include "lang/Languages.h"
#include "views/ImageList.h"
#include "views/RecentBarsDelegate.h"
#include "widgets/MinimizeToTray.h"
#include "widgets/ScreenFit.h"

namespace hv {

namespace {

// The sorted rows with the state image drawn at the start of the title, as ImageList has it.
class StateImageProxy : public HostStateSortProxy {
public:
    using HostStateSortProxy::HostStateSortProxy;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DecorationRole && index.column() == HostStateModel::Title)
            return ImageList::icon(
                HostStateSortProxy::data(index, HostStateModel::StateImageRole).toInt());
        return HostStateSortProxy::data(index, role);
    }
};

struct ColumnWidth {
    HostStateModel::Column column;
    int width;
    const char* key;  // its name in the layout file
};
// Title and Address as designed; the figures after them, narrow enough that every column fits
// on a screen 1280 px wide.
constexpr ColumnWidth kWidths[] = {
    {HostStateModel::Title, 135, "Title"},
    {HostStateModel::Address, 220, "Address"},
    {HostStateModel::RoundTrip, 90, "RoundTrip"},
    {HostStateModel::LastChange, 138, "LastChange"},
    {HostStateModel::Checks, 58, "Checks"},
    {HostStateModel::Failures, 60, "Failures"},
    {HostStateModel::AnsweredPercent, 82, "Answered"},
    {HostStateModel::MinRoundTrip, 58, "Min"},
    {HostStateModel::AvgRoundTrip, 62, "Avg"},
    {HostStateModel::MaxRoundTrip, 60, "Max"},
    {HostStateModel::Jitter, 66, "Jitter"},
    {HostStateModel::LossPercent, 60, "Loss"},
    {HostStateModel::Recent, 4 + 60 * RecentBarsDelegate::kBarWidth, "Recent"},
};

const QString kGroup = QStringLiteral("StateTable");
constexpr int kMinColumnWidth = 16;
constexpr int kMaxColumnWidth = 2000;

// Enter on a row asks for its history; every other key goes on to the table.
class EnterFilter : public QObject {
public:
    EnterFilter(QTableView* view, std::function<void(const QModelIndex&)> onEnter)
        : QObject(view), m_view(view), m_onEnter(std::move(onEnter)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_view && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
                m_view->currentIndex().isValid()) {
                m_onEnter(m_view->currentIndex());
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTableView* m_view;
    std::function<void(const QModelIndex&)> m_onEnter;
};

}  // namespace

StateWindow::StateWindow(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::Window);
    setObjectName(QStringLiteral("frmState"));
    setWindowTitle(QStringLiteral("Hosts state"));
    resize(481, 451);  // widened below once the columns are known
    move(335, 186);

    m_model = new HostStateModel(this);
    m_sorted = new StateImageProxy(this);
    m_sorted->setSourceModel(m_model);

    lvHostState = new QTableView(this);
    lvHostState->setObjectName(QStringLiteral("lvHostState"));
    lvHostState->setModel(m_sorted);
    // The image sits in the title cell, at the row's start, as in a list view's report style.
    lvHostState->setColumnHidden(HostStateModel::State, true);
    QHeaderView* header = lvHostState->horizontalHeader();
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    for (const ColumnWidth& w : kWidths) lvHostState->setColumnWidth(w.column, w.width);
    // Unsorted until a header is clicked; a third click on it gives the list order back.
    header->setSortIndicatorClearable(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    lvHostState->setSortingEnabled(true);
    lvHostState->verticalHeader()->hide();
    lvHostState->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvHostState->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    lvHostState->setShowGrid(false);
    lvHostState->setWordWrap(false);
    lvHostState->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvHostState->setSelectionMode(QAbstractItemView::SingleSelection);
    lvHostState->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHostState->setIconSize(QSize(16, 16));
    lvHostState->setItemDelegateForColumn(HostStateModel::Recent,
                                          new RecentBarsDelegate(lvHostState));
    lvHostState->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvHostState, &QTableView::doubleClicked, this, &StateWindow::requestHistory);
    connect(this, &StateWindow::historyRequested, this, &StateWindow::openHistory);
    connect(lvHostState, &QWidget::customContextMenuRequested, this, &StateWindow::showRowMenu);
    lvHostState->installEventFilter(
        new EnterFilter(lvHostState, [this](const QModelIndex& i) { requestHistory(i); }));

    sbHostState = new QStatusBar(this);
    sbHostState->setObjectName(QStringLiteral("sbHostState"));
    sbHostState->setSizeGripEnabled(true);
    sbHostState->setFixedHeight(19);
    plItemsCount = new QLabel(QStringLiteral(" 0 items"), sbHostState);
    plItemsCount->setObjectName(QStringLiteral("plItemsCount"));
    plItemsCount->setFixedWidth(177);
    plItemsCount->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    sbHostState->addWidget(plItemsCount);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lvHostState, 1);
    layout->addWidget(sbHostState);

    resize(fullWidth(), height());
    MinimizeToTray::install(this);
    ScreenFit::install(this);
    lvHostState->setAccessibleName(windowTitle());
}

int StateWindow::fullWidth() const {
    int width = 0;
    for (int c = 0; c < HostStateModel::ColumnCount; ++c)
        if (!lvHostState->isColumnHidden(c)) width += lvHostState->columnWidth(c);
    // The frame of the table and room for its vertical scroll bar.
    return width + 2 * lvHostState->frameWidth() +
           lvHostState->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
}

HistoryWindow* StateWindow::openHistory(int listRow) {
    if (!m_hosts || listRow < 0 || listRow >= m_model->rowCount()) return nullptr;
    const Host host = m_model->rowAt(listRow).host;
    for (HistoryWindow* open : findChildren<HistoryWindow*>(Qt::FindDirectChildrenOnly)) {
        // A closed one is on its way out.
        if (!open->isVisible()) continue;
        if (open->hostTitle() == host.title && open->hostAddress() == host.address) {
            if (open->isMinimized()) open->showNormal();
            open->raise();
            open->activateWindow();
            return open;
        }
    }
    HistoryWindow::Loader loader;
    QString notice;
    if (m_historySource) loader = m_historySource(host.title, host.address);
    if (!loader) {
        // The host's last checks, found again by title and address: the list may be rebuilt
        // while the window is open.
        loader = [hosts = QPointer<HostList>(m_hosts), host](std::int64_t from, std::int64_t to,
                                                             QString*) {
            std::vector<StatsSample> out;
            if (!hosts) return out;
            const std::uint64_t generation = hosts->generation();
            const QList<Host> list = hosts->hosts();
            for (qsizetype i = 0; i < list.size(); ++i) {
                if (list[i].title != host.title || list[i].address != host.address) continue;
                if (const auto stats = hosts->statsAt(int(i), generation))
                    for (const StatsSample& s : stats->recent)
                        if (s.timeMs >= from && s.timeMs < to) out.push_back(s);
                break;
            }
            return out;
        };
        notice = langMessage(QStringLiteral("HistoryNotKept"));
    }
    auto* window = new HistoryWindow(host.title, host.address, std::move(loader), this);
    window->setNotice(notice);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void StateWindow::requestHistory(const QModelIndex& viewIndex) {
    if (!viewIndex.isValid()) return;
    const QModelIndex source = m_sorted->mapToSource(viewIndex);
    if (source.isValid()) emit historyRequested(source.row());
}

void StateWindow::showRowMenu(const QPoint& pos) {
    const QModelIndex at = lvHostState->indexAt(pos);
    if (!at.isValid()) return;
    lvHostState->setCurrentIndex(at);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("pmHostRow"));
    QAction* history = menu.addAction(langMessage(QStringLiteral("HistoryMenu")));
    history->setObjectName(QStringLiteral("miHistory"));
    connect(history, &QAction::triggered, this, [this, at] { requestHistory(at); });
    menu.exec(lvHostState->viewport()->mapToGlobal(pos));
}

void StateWindow::restoreLayout(const QString& path) {
    m_layoutPath = path;
    if (path.isEmpty()) return;
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(kGroup);
    bool okW = false, okH = false;
    const int w = file.value(QStringLiteral("Width")).toInt(&okW);
    const int h = file.value(QStringLiteral("Height")).toInt(&okH);
    // ScreenFit brings a size larger than the screen back in when the window is shown.
    if (okW && okH && w >= 100 && h >= 80 && w <= 20000 && h <= 20000) {
        resize(w, h);
        m_sizeRestored = true;
    }
    for (const ColumnWidth& c : kWidths) {
        bool ok = false;
        const int cw = file.value(QStringLiteral("Column") + QLatin1String(c.key)).toInt(&ok);
        if (ok && cw >= kMinColumnWidth && cw <= kMaxColumnWidth) {
            lvHostState->setColumnWidth(c.column, cw);
            m_restoredColumns.append(c.column);
        }
    }
    const QString sortKey = file.value(QStringLiteral("SortColumn")).toString();
    const QString order = file.value(QStringLiteral("SortOrder")).toString();
    for (const ColumnWidth& c : kWidths) {
        if (sortKey.compare(QLatin1String(c.key), Qt::CaseInsensitive) != 0) continue;
        lvHostState->sortByColumn(
            c.column, order.compare(QStringLiteral("descending"), Qt::CaseInsensitive) == 0
                          ? Qt::DescendingOrder
                          : Qt::AscendingOrder);
    }
}

void StateWindow::saveLayout() const {
    if (m_layoutPath.isEmpty()) return;
    QSettings file(m_layoutPath, QSettings::IniFormat);
    file.beginGroup(kGroup);
    file.setValue(QStringLiteral("Width"), width());
    file.setValue(QStringLiteral("Height"), height());
    for (const ColumnWidth& c : kWidths)
        file.setValue(QStringLiteral("Column") + QLatin1String(c.key),
                      lvHostState->columnWidth(c.column));
    const QHeaderView* header = lvHostState->horizontalHeader();
    QString sortKey;
    for (const ColumnWidth& c : kWidths)
        if (c.column == header->sortIndicatorSection()) sortKey = QLatin1String(c.key);
    file.setValue(QStringLiteral("SortColumn"), sortKey);
    file.setValue(QStringLiteral("SortOrder"), header->sortIndicatorOrder() == Qt::DescendingOrder
                                                   ? QStringLiteral("descending")
                                                   : QStringLiteral("ascending"));
    file.sync();
}

void StateWindow::hideEvent(QHideEvent* event) {
    saveLayout();
    QWidget::hideEvent(event);
}

void StateWindow::changeEvent(QEvent* event) {
    // A screen reader names the table after its window, in the window's language.
    if (event->type() == QEvent::WindowTitleChange && lvHostState)
        lvHostState->setAccessibleName(windowTitle());
    QWidget::changeEvent(event);
}

void StateWindow::attach(HostList& hosts) {
    if (m_hosts) disconnect(m_hosts, nullptr, this, nullptr);
    m_hosts = &hosts;
    m_model->attach(hosts);
    retranslateColumns();
    connect(m_hosts, &HostList::rebuilt, this, &StateWindow::refill);
    connect(m_hosts, &QObject::destroyed, this, [this] { m_hosts = nullptr; });
    refill();
}

void StateWindow::refill() {
    if (!m_hosts) return;
    plItemsCount->setText(u' ' + QString::number(m_hosts->itemsCount()) + u' ' +
                          langMessage(QStringLiteral("items")));
}

void StateWindow::retranslateColumns() {
    m_model->retranslate();
    // A longer title in another language widens its column rather than being cut.
    const QHeaderView* header = lvHostState->horizontalHeader();
    for (const ColumnWidth& w : kWidths) {
        if (w.column == HostStateModel::Title || w.column == HostStateModel::Address ||
            m_restoredColumns.contains(w.column))
            continue;
        // The title's own width: the room a sort indicator would take is not kept free, so
        // that every column still fits 1280 px (the indicator overlaps a title while sorted).
        const int title =
            header->fontMetrics().horizontalAdvance(
                m_model->headerData(w.column, Qt::Horizontal).toString()) +
            2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header) + 4;
        lvHostState->setColumnWidth(w.column, std::max(w.width, title));
    }
    // Until the user sized it, the window shows every column, however wide the titles are.
    if (!m_sizeRestored && !isVisible()) resize(fullWidth(), height());
}

void StateWindow::miShowStateTable() {
    if (isVisible()) hide();
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

}  // namespace hv
