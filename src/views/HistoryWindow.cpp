#include "views/HistoryWindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

#include "checking/HistoryCsv.h"
#include "checking/HostStateModel.h"
#include "lang/Languages.h"
#include "translation/TranslateForm.h"
#include "views/HistoryChart.h"
#include "views/LogWindow.h"
#include "widgets/HelpContext.h"
#include "widgets/ScreenFit.h"

namespace hv {

namespace {

// The help page of the window (history.htm).
constexpr int kHelpContextHistory = 20;

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString msText(double us) {
    return us < 0 ? QStringLiteral("-") : HostStateModel::millisecondsText(us, QLocale());
}

}  // namespace

HistoryWindow::HistoryWindow(const QString& title, const QString& address, Loader loader,
                             QWidget* parent)
    : QWidget(parent), m_title(title), m_address(address), m_loader(std::move(loader)), m_clock([] {
          return QDateTime::currentMSecsSinceEpoch();
      }) {
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));
    setHelpContext(this, kHelpContextHistory);
    resize(760, 420);

    lbRange = named(new QLabel(QStringLiteral("Range"), this), "lbRange");
    cbRange = named(new QComboBox(this), "cbRange");
    for (const char* text : {"1 hour", "24 hours", "7 days", "30 days"})
        cbRange->addItem(QString::fromLatin1(text));
    cbRange->setCurrentIndex(1);
    lbRange->setBuddy(cbRange);
    btnResetZoom = named(new QPushButton(QStringLiteral("Whole range"), this), "btnResetZoom");
    btnExport = named(new QPushButton(QStringLiteral("Export..."), this), "btnExport");
    btnClose = named(new QPushButton(QStringLiteral("Close"), this), "btnClose");
    pbChart = new HistoryChart(this);
    pbChart->setToolTip(QStringLiteral("Drag to zoom, double-click to show the whole range"));
    lbSummary = named(new QLabel(this), "lbSummary");
    lbSummary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lbPoint = named(new QLabel(this), "lbPoint");
    lbNotice = named(new QLabel(this), "lbNotice");
    lbNotice->setWordWrap(true);
    lbNotice->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(lbRange);
    top->addWidget(cbRange);
    top->addWidget(btnResetZoom);
    top->addStretch();
    top->addWidget(btnExport);
    top->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pbChart, 1);
    layout->addWidget(lbPoint);
    layout->addWidget(lbSummary);
    layout->addWidget(lbNotice);

    connect(cbRange, &QComboBox::currentIndexChanged, this, [this] { reload(); });
    connect(btnResetZoom, &QPushButton::clicked, pbChart, &HistoryChart::resetZoom);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(btnExport, &QPushButton::clicked, this,
            [this] { btnExportClick(QCoreApplication::applicationDirPath()); });
    connect(pbChart, &HistoryChart::viewChanged, this, [this] {
        showSummary();
        btnResetZoom->setEnabled(pbChart->zoomed());
    });
    connect(pbChart, &HistoryChart::pointed, this, &HistoryWindow::showPoint);
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, &QWidget::close);

    translateForm(this);
    retranslate();
    ScreenFit::install(this);
    reload();
    pbChart->setFocus();
}

void HistoryWindow::setNotice(const QString& text) {
    lbNotice->setText(text);
    lbNotice->setVisible(!text.isEmpty());
}

void HistoryWindow::reload() {
    const int k = std::clamp(cbRange->currentIndex(), 0, 3);
    const std::int64_t to = m_clock() + 1;
    const std::int64_t from = to - kRangesMs[k];
    m_loadError.clear();
    std::vector<StatsSample> samples;
    if (m_loader) samples = m_loader(from, to, &m_loadError);
    pbChart->setSamples(std::move(samples), from, to);
    showSummary();
}

void HistoryWindow::retranslate() {
    setWindowTitle(
        langMessage(QStringLiteral("HistoryCaption"))
            .replace(QStringLiteral("%1"), m_title + QStringLiteral(" (") + m_address + u')'));
    const auto plain = [](QString text) { return text.remove(QLatin1Char('&')); };
    cbRange->setAccessibleName(plain(lbRange->text()));
    pbChart->setAccessibleName(windowTitle());
    pbChart->setAccessibleDescription(pbChart->toolTip());
    lbSummary->setAccessibleName(lbSummary->text());
    showSummary();
}

void HistoryWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void HistoryWindow::showSummary() {
    if (!m_loadError.isEmpty()) {
        lbSummary->setText(langMessage(QStringLiteral("HistoryUnreadable"))
                               .replace(QStringLiteral("%1"), m_loadError));
    } else {
        const std::vector<StatsSample> shown = pbChart->visibleSamples();
        if (shown.empty()) {
            lbSummary->setText(langMessage(QStringLiteral("HistoryEmpty")));
        } else {
            const StatsSummary s = summarize(shown);
            const QLocale locale;
            QString text = langMessage(QStringLiteral("HistorySummary"));
            const QString values[] = {
                locale.toString(s.checks), msText(double(s.minUs)),
                msText(s.avgUs),           msText(double(s.maxUs)),
                msText(s.jitterUs),        locale.toString(s.lossPercent(), 'f', 1)};
            // One pass, so a value that holds "%2" is never replaced again.
            QString out;
            for (qsizetype i = 0; i < text.size(); ++i) {
                if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' &&
                    text[i + 1] <= u'6') {
                    out += values[text[i + 1].unicode() - u'1'];
                    ++i;
                } else {
                    out += text[i];
                }
            }
            lbSummary->setText(out);
        }
    }
    lbSummary->setAccessibleName(lbSummary->text());
    btnExport->setEnabled(m_loadError.isEmpty());
}

void HistoryWindow::showPoint(std::ptrdiff_t sample) {
    if (sample < 0) {
        lbPoint->clear();
        return;
    }
    const StatsSample s = pbChart->sampleAt(sample);
    const QString when = QLocale().toString(QDateTime::fromMSecsSinceEpoch(s.timeMs),
                                            QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (s.roundTripUs < 0)
        lbPoint->setText(
            langMessage(QStringLiteral("HistoryLostPoint")).replace(QStringLiteral("%1"), when));
    else
        lbPoint->setText(langMessage(QStringLiteral("HistoryPoint"))
                             .replace(QStringLiteral("%2"), HostStateModel::millisecondsText(
                                                                double(s.roundTripUs), QLocale()))
                             .replace(QStringLiteral("%1"), when));
    lbPoint->setAccessibleName(lbPoint->text());
}

QByteArray HistoryWindow::csv() const {
    return historyCsv(m_title, m_address, pbChart->visibleSamples());
}

void HistoryWindow::btnExportClick(const QString& executableDir) {
    LogWindow::exportCsv(executableDir, QStringLiteral("Export history..."),
                         QStringLiteral("sdExportHistory"), [this] { return csv(); });
}

}  // namespace hv
