#include "views/TfrmState.h"

#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "hosts/HostList.h"
#include "lang/Languages.h"
#include "views/ImageList.h"
#include "views/MinimizeToTray.h"

namespace hv {

TfrmState::TfrmState(QWidget* parent) : QWidget(parent) {
    setWindowFlags(Qt::Window);
    setObjectName(QStringLiteral("frmState"));
    setWindowTitle(QStringLiteral("Hosts state"));
    resize(481, 451);
    move(335, 186);

    lvHostState = new QTreeWidget(this);
    lvHostState->setObjectName(QStringLiteral("lvHostState"));
    lvHostState->setColumnCount(2);
    lvHostState->setHeaderLabels({QStringLiteral("Title"), QStringLiteral("Address")});
    lvHostState->header()->setStretchLastSection(false);
    lvHostState->setColumnWidth(0, 135);
    lvHostState->setColumnWidth(1, 220);
    lvHostState->setRootIsDecorated(false);
    lvHostState->setItemsExpandable(false);
    lvHostState->setUniformRowHeights(true);
    lvHostState->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHostState->setIconSize(QSize(16, 16));
    lvHostState->setSortingEnabled(false);

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
}

void TfrmState::attach(HostList& hosts) {
    if (m_hosts) disconnect(m_hosts, nullptr, this, nullptr);
    m_hosts = &hosts;
    connect(m_hosts, &HostList::rebuilt, this, &TfrmState::refill);
    connect(m_hosts, &HostList::stateImageChanged, this, [this](int index, int image) {
        // Row k is host k; an index the table does not hold changes nothing.
        if (QTreeWidgetItem* row = lvHostState->topLevelItem(index))
            row->setIcon(0, ImageList1::icon(image));
    });
    connect(m_hosts, &QObject::destroyed, this, [this] { m_hosts = nullptr; });
    refill();
}

void TfrmState::refill() {
    lvHostState->clear();
    if (!m_hosts) return;
    plItemsCount->setText(u' ' + QString::number(m_hosts->itemsCount()) + u' ' +
                          LangMessage(QStringLiteral("items")));
    QList<QTreeWidgetItem*> rows;
    for (const Host& host : m_hosts->hosts()) {
        auto* row = new QTreeWidgetItem({host.title, host.address});
        row->setIcon(0, ImageList1::icon(host.stateImage));
        row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
        rows.append(row);
    }
    lvHostState->addTopLevelItems(rows);
}

void TfrmState::miShowStateTable() {
    if (isVisible()) hide();
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

}  // namespace hv
