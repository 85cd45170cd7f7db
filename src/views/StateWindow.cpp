#include "views/StateWindow.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "checking/HostStateModel.h"
#include "checking/HostStateSortProxy.h"
#include "hosts/HostList.h"
#include "lang/Languages.h"
#include "views/ImageList.h"
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
};
// Title and Address as designed; the figures after them.
constexpr ColumnWidth kWidths[] = {
    {HostStateModel::Title, 135},          {HostStateModel::Address, 220},
    {HostStateModel::RoundTrip, 100},      {HostStateModel::LastChange, 135},
    {HostStateModel::Checks, 65},          {HostStateModel::Failures, 65},
    {HostStateModel::AnsweredPercent, 85},
};

}  // namespace

StateWindow::StateWindow(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::Window);
    setObjectName(QStringLiteral("frmState"));
    setWindowTitle(QStringLiteral("Hosts state"));
    resize(481, 451);
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

    MinimizeToTray::install(this);
    ScreenFit::install(this);
    lvHostState->setAccessibleName(windowTitle());
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
        if (w.column == HostStateModel::Title || w.column == HostStateModel::Address) continue;
        lvHostState->setColumnWidth(w.column, std::max(w.width, header->sectionSizeHint(w.column)));
    }
}

void StateWindow::miShowStateTable() {
    if (isVisible()) hide();
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

}  // namespace hv
