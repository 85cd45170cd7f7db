#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "hosts/HostStats.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace hv {

class HistoryChart;

// One host's history: a chart of its round trips over a chosen range (1 h, 24 h, 7 d, 30 d)
// with a summary of the span shown, and Export... of that span as CSV.
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // Reads the host's checks with fromMs <= time < toMs, oldest first; on failure fills *error
    // and returns nothing.
    using Loader = std::function<std::vector<StatsSample>(std::int64_t fromMs, std::int64_t toMs,
                                                          QString* error)>;

    HistoryWindow(const QString& title, const QString& address, Loader loader,
                  QWidget* parent = nullptr);

    QLabel* lbRange = nullptr;
    QComboBox* cbRange = nullptr;  // item k spans kRangesMs[k]
    QPushButton* btnResetZoom = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* btnClose = nullptr;
    HistoryChart* pbChart = nullptr;
    QLabel* lbSummary = nullptr;
    QLabel* lbPoint = nullptr;   // the check under the pointer
    QLabel* lbNotice = nullptr;  // why the chart may show less than the range

    static constexpr std::int64_t kRangesMs[] = {3600LL * 1000, 24LL * 3600 * 1000,
                                                 7LL * 24 * 3600 * 1000, 30LL * 24 * 3600 * 1000};

    const QString& hostTitle() const { return m_title; }
    const QString& hostAddress() const { return m_address; }
    // The clock the ranges end at (ms since the epoch); the system clock unless a test sets one.
    void setClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }
    // A line under the chart, e.g. that no history is kept; empty hides it.
    void setNotice(const QString& text);
    // Reads the range chosen again, ending now.
    void reload();
    // The caption, the summary and the pointer's line in the current language.
    void retranslate();
    // The CSV Export... writes: the checks shown.
    QByteArray csv() const;
    // Export...: the save dialog of Log > Export (folder, proposed name, ".csv"), then the file.
    void btnExportClick(const QString& executableDir);

protected:
    void changeEvent(QEvent* event) override;

private:
    void showSummary();
    void showPoint(std::ptrdiff_t sample);

    QString m_title;
    QString m_address;
    Loader m_loader;
    std::function<std::int64_t()> m_clock;
    std::vector<StatsSample> m_samples;
    QString m_loadError;
};

}  // namespace hv
