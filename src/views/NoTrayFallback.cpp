#include "views/NoTrayFallback.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include "lang/Languages.h"

namespace hv {

namespace {

// Read by MinimizeToTray: such a window minimises to the taskbar like any other.
constexpr char kMinimizeToTaskbar[] = "minimizeToTaskbar";

bool askToQuit(QWidget* parent) {
    return QMessageBox::question(
               parent, QStringLiteral("Hostvane"), langMessage(QStringLiteral("NoTrayQuit")),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

NoTrayFallback::NoTrayFallback(QWidget* window, QMenu* menu, std::function<bool()> trayAvailable,
                               int graceMs)
    : QObject(window),
      m_window(window),
      m_menu(menu),
      m_trayAvailable(std::move(trayAvailable)),
      m_ask(askToQuit) {
    m_grace = new QTimer(this);
    m_grace->setSingleShot(true);
    m_grace->setInterval(graceMs);
    connect(m_grace, &QTimer::timeout, this, [this] {
        m_graceOver = true;
        if (!m_trayAvailable()) enter();
    });
    m_grace->start();
    m_window->installEventFilter(this);
    // The application's quit (the Quit command, a quit signal) closes every window first; that
    // close must not ask, or a quit from a script would wait for an answer nobody gives.
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

void NoTrayFallback::trayAvailabilityChanged(bool available) {
    if (available) {
        leave();
    } else if (m_graceOver) {
        enter();
    }
}

void NoTrayFallback::enter() {
    if (m_active || !m_window) return;
    m_active = true;
    auto* layout = qobject_cast<QBoxLayout*>(m_window->layout());
    if (!m_bar) {
        m_bar = new QMenuBar(m_window);
        m_bar->setObjectName(QStringLiteral("mbNoTray"));
        m_bar->setAccessibleName(QStringLiteral("Menu"));
        m_notice = new QLabel(m_window);
        m_notice->setObjectName(QStringLiteral("lbNoTray"));
        m_notice->setWordWrap(true);
        m_notice->setMargin(6);
        m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
        if (layout) {
            layout->setMenuBar(m_bar);
            layout->insertWidget(0, m_notice);
        }
    }
    fillBar();
    retranslate();
    m_bar->show();
    m_notice->show();
    m_window->setProperty(kMinimizeToTaskbar, true);
    m_window->showNormal();
    m_window->raise();
}

void NoTrayFallback::leave() {
    if (!m_active || !m_window) return;
    m_active = false;
    m_window->setProperty(kMinimizeToTaskbar, false);
    if (m_bar) m_bar->hide();
    if (m_notice) m_notice->hide();
    m_window->hide();
}

void NoTrayFallback::fillBar() {
    m_bar->clear();
    if (!m_menu) return;
    // Proxies with the captions only: a menu bar shows an item's icon instead of its text.
    for (QAction* action : m_menu->actions()) {
        if (action->isSeparator()) continue;
        auto* proxy = new QAction(action->text(), m_bar);
        proxy->setObjectName(action->objectName() + QStringLiteral("Bar"));
        const auto follow = [proxy, action] {
            proxy->setText(action->text());
            proxy->setEnabled(action->isEnabled());
            proxy->setVisible(action->isVisible());
        };
        follow();
        connect(action, &QAction::changed, proxy, follow);
        if (action->menu()) {
            proxy->setMenu(action->menu());
        } else {
            connect(proxy, &QAction::triggered, action, &QAction::trigger);
        }
        m_bar->addAction(proxy);
    }
}

void NoTrayFallback::retranslate() {
    if (m_notice) m_notice->setText(langMessage(QStringLiteral("NoTrayNotice")));
}

bool NoTrayFallback::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
        m_quitting = true;
        // A window that refused to close cancels the quit: ask again next time.
        QTimer::singleShot(0, this, [this] { m_quitting = false; });
        return false;
    }
    if (watched == m_window && m_active && !m_quitting && event->type() == QEvent::Close) {
        event->ignore();
        if (m_ask(m_window)) emit quitRequested();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace hv
