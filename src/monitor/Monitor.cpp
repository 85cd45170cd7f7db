#include "monitor/Monitor.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "checking/AddressKind.h"
#include "history/HistoryLocation.h"
#include "lang/Languages.h"
#include "metrics/MetricsServer.h"
#include "monitor/AskTimer.h"
#include "net/NetProbe.h"
#include "platform/Error.h"
#include "platform/ProgramFiles.h"

namespace hv {

Monitor::Monitor(Options options, QObject* parent)
    : QObject(parent),
      m_exePath(options.executablePath.isEmpty() ? ProgramFiles::executablePath()
                                                 : options.executablePath),
      m_exeDir(QFileInfo(m_exePath).absolutePath()),
      m_settings(defaultSettings()),
      m_timeFormat(TimeFormat::fromLocale(QLocale::system())),
      m_historyClock(std::move(options.historyClock)),
      m_keepHistory(options.keepHistory) {
    // Created enabled with 3000 ms; the settings give the check period.
    m_trmAsk = new AskTimer(3000, true, this);
    m_trmAsk->setObjectName(QStringLiteral("trmAsk"));
    connect(m_trmAsk, &AskTimer::timeout, this, &Monitor::trmAskTimer);

    // The overall state follows the state images and the list.
    connect(&m_hosts, &HostList::rebuilt, this, [this] {
        // Hosts that kept their state are known already; only a new or changed one is not.
        if (!m_hosts.keptEveryHost()) m_passOver = false;
        emit statusChanged();
    });
    connect(&m_hosts, &HostList::stateImageChanged, this, &Monitor::statusChanged);

    // Between the ends of passes the metrics follow the hand-overs at a bounded rate: one
    // snapshot per kMetricsDelayMs however many hosts a pass hands over.
    m_metricsTimer = new QTimer(this);
    m_metricsTimer->setSingleShot(true);
    m_metricsTimer->setInterval(kMetricsDelayMs);
    connect(m_metricsTimer, &QTimer::timeout, this, &Monitor::publishMetrics);
    connect(&m_hosts, &HostList::rebuilt, this, &Monitor::scheduleMetrics);
    connect(&m_hosts, &HostList::stateImageChanged, this, &Monitor::scheduleMetrics);
    connect(&m_hosts, &HostList::figuresChanged, this, &Monitor::scheduleMetrics);
    connect(this, &Monitor::runningChanged, this, &Monitor::scheduleMetrics);

    // The real probes unless the options bring others.
    ProbeFactory probes = options.probes ? std::move(options.probes) : ProbeFactory(makeNetProbe);
    m_cycle = std::make_unique<CheckCycle>(m_hosts, std::move(probes), *this);
    // Every checked host of a pass goes to the history as the pass hands it over, and the pass
    // is one transaction (ended in passEnded); the checking thread only queues, the writer
    // thread writes.
    m_cycle->setHostChecked([this](const HostCheckResult& r) {
        HistoryStore* history = m_historyFeed.load();
        if (!history || r.kind == ProbeKind::Skip) return;
        history->add(r.title, r.address,
                     r.kind == ProbeKind::Tcp ? HistoryStore::Kind::Tcp : HistoryStore::Kind::Icmp,
                     r.alive ? r.roundTripUs : -1);
    });
    m_cycle->start();
}

Monitor::~Monitor() { stopChecking(); }

void Monitor::stopChecking() {
    if (!m_cycle) return;
    m_trmAsk->setEnabled(false);
    m_cycle->stop();
    m_cycle.reset();
}

QString Monitor::historyPath() const {
    return historyFilePath(settingsFilePath(m_exeDir), m_exeDir);
}

void Monitor::applyHistory(int keepDays) {
    if (m_history) {
        m_history->setKeepDays(keepDays);
        return;
    }
    // 0 from the start: no history, and no file.
    if (keepDays <= 0 || !m_keepHistory) return;
    HistoryStore::Options options;
    options.path = historyPath();
    options.keepDays = keepDays;
    options.nowMs = m_historyClock;
    options.notify = [this](const HistoryNotice& notice) {
        QMetaObject::invokeMethod(
            this, [this, notice] { historyNotice(notice); }, Qt::QueuedConnection);
    };
    m_history = std::make_unique<HistoryStore>(std::move(options));
    m_historyFeed.store(m_history.get());
}

void Monitor::historyNotice(const HistoryNotice& notice) {
    const QString file = QDir::toNativeSeparators(notice.path);
    QString text;
    switch (notice.kind) {
        case HistoryNotice::Kind::WriteFailed:
            text = langMessage(QStringLiteral("HistoryWriteFailed"))
                       .replace(QStringLiteral("%1"), file)
                       .replace(QStringLiteral("%2"), notice.message);
            break;
        case HistoryNotice::Kind::Written:
            text =
                langMessage(QStringLiteral("HistoryWritten")).replace(QStringLiteral("%1"), file);
            break;
        case HistoryNotice::Kind::Damaged:
            text = langMessage(QStringLiteral("HistoryDamaged"))
                       .replace(QStringLiteral("%1"), file)
                       .replace(QStringLiteral("%2"), QDir::toNativeSeparators(notice.file));
            break;
    }
    std::fprintf(stderr, "hostvane: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    appendLogLine(timeText() + QStringLiteral(". ") + text);
}

// --- settings -------------------------------------------------------------------------

void Monitor::loadSettings() {
    const QString path = settingsFilePath(m_exeDir);
    const SettingsReading reading = readSettingsFile(path);
    // Nothing on screen says why no host is checked; a terminal at least learns it.
    for (const QString& line : readingProblems(reading, path))
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    applySettings(reading.settings);
}

void Monitor::saveSettings() const { writeSettings(settingsFilePath(m_exeDir), m_settings); }

void Monitor::applySettings(const Settings& settings) {
    take(
        settings, [&] { m_hosts.rebuildFromEntries(settings.hostEntries); }, Take::Whole);
}

void Monitor::applySettings(const Settings& settings, const QStringList& hostLines) {
    take(
        settings, [&] { m_hosts.rebuildFromLines(hostLines); }, Take::Whole);
}

void Monitor::updateSettings(const Settings& settings) {
    if (settings.hostEntries == m_settings.hostEntries) {
        take(settings, {}, Take::Changes);
        return;
    }
    take(
        settings, [&] { m_hosts.rebuildFromEntries(settings.hostEntries); }, Take::Changes);
}

void Monitor::take(Settings next, const std::function<void()>& rebuild, Take how) {
    clampToBounds(next);

    const Settings previous = m_settings;
    if (rebuild) rebuild();
    tellDependencyProblems(m_hosts.setDependencies(next.dependencies));
    // The entries in effect, as they are saved: entries without an address gave no host.
    next.hostEntries.clear();
    for (const Host& host : m_hosts.hosts()) next.hostEntries.append({host.title, host.address});

    m_hosts.setStatsMinutes(next.statsMinutes);
    if (m_cycle) {
        m_cycle->setParallelChecks(next.parallelChecks);
        m_cycle->setPassesToReport(next.lostAfter, next.appearedAfter);
        m_cycle->setNamesFamily(namesFamilyOf(next.ipVersion));
    }
    // Setting the interval starts the countdown anew.
    if (how == Take::Whole || next.checkPeriod != previous.checkPeriod)
        m_trmAsk->setInterval(next.checkPeriod);
    m_settings = std::move(next);
    // A new address, or the same one again after it failed when the whole value is taken (the
    // settings dialog's OK tries once more, say after the port was freed).
    const QString listen = m_settings.metricsListen.trimmed();
    if (listen != m_metricsListen || (how == Take::Whole && !listen.isEmpty() && !m_metrics))
        listenForMetrics(listen);
    applyHistory(m_settings.keepDays);
    emit settingsChanged(previous);

    // A stopped monitor stays stopped: the new list is checked at the next Start. A pass under
    // way stops at the rebuild and is followed at once by a pass over the new list.
    if (rebuild && m_running && m_cycle) m_cycle->resumeForNewList();
}

void Monitor::tellDependencyProblems(const QList<DependencyProblem>& problems) {
    for (const DependencyProblem& problem : problems) {
        const QString text = dependencyProblemText(problem);
        if (m_toldProblems.contains(text)) continue;
        m_toldProblems.insert(text);
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
        QString key;
        switch (problem.kind) {
            case DependencyProblem::Kind::UnknownDependent:
            case DependencyProblem::Kind::UnknownParent:
                key = QStringLiteral("DependsUnknown");
                break;
            case DependencyProblem::Kind::Itself:
                key = QStringLiteral("DependsItself");
                break;
            case DependencyProblem::Kind::Loop:
                key = QStringLiteral("DependsLoop");
                break;
        }
        const QString unknown = problem.kind == DependencyProblem::Kind::UnknownDependent
                                    ? problem.dependent
                                    : problem.parent;
        QString line = langMessage(key);
        // One sweep: a title may itself hold "%2".
        QString filled;
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line[i] == u'%' && i + 1 < line.size() && line[i + 1] >= u'1' &&
                line[i + 1] <= u'3') {
                const QChar n = line[++i];
                filled += n == u'1' ? problem.dependent : n == u'2' ? problem.parent : unknown;
            } else {
                filled += line[i];
            }
        }
        appendLogLine(timeText() + QStringLiteral(". ") + filled);
    }
}

// --- metrics --------------------------------------------------------------------------

void Monitor::listenForMetrics(const QString& listen) {
    m_metricsListen = listen;
    m_metrics.reset();
    if (listen.isEmpty()) return;
    try {
        m_metrics = std::make_unique<MetricsServer>(listen);
    } catch (const Error& e) {
        // The program goes on without metrics; the user learns why where they look.
        std::fprintf(stderr, "hostvane: %s\n", e.message().toLocal8Bit().constData());
        std::fflush(stderr);
        emit logLine(timeText() + QStringLiteral(". ") +
                     langMessage(QStringLiteral("MetricsNotServed")).arg(e.message()));
        return;
    }
    publishMetrics();
}

MetricsSnapshot Monitor::metricsSnapshot() const {
    return snapshotOf(m_hosts, m_running, m_passSeconds);
}

void Monitor::scheduleMetrics() {
    if (m_metrics && !m_metricsTimer->isActive()) m_metricsTimer->start();
}

void Monitor::publishMetrics() {
    m_metricsTimer->stop();
    if (m_metrics) m_metrics->publish(std::make_shared<const MetricsSnapshot>(metricsSnapshot()));
}

// --- running --------------------------------------------------------------------------

void Monitor::setRunning(bool running) {
    if (running == m_running) return;
    m_running = running;
    if (running) {
        // Start begins a pass at once; the timer stays held while the settings dialog is open.
        m_trmAsk->setEnabled(!m_timerHeld);
        m_passOver = false;
        // A cycle in the middle of a pass is not affected.
        if (m_cycle) m_cycle->resume();
    } else {
        m_trmAsk->setEnabled(false);
        m_hosts.setAllStateImages(kImageNotAnswering);
    }
    emit runningChanged(running);
    emit statusChanged();
}

void Monitor::trmAskTimer() {
    if (m_cycle && m_cycle->isSuspended()) m_cycle->resume();
}

void Monitor::holdTimer() {
    m_trmAsk->setEnabled(false);
    if (std::exchange(m_timerHeld, true)) return;
    emit statusChanged();
}

void Monitor::releaseTimer() {
    m_trmAsk->setEnabled(m_running);
    if (!std::exchange(m_timerHeld, false)) return;
    emit statusChanged();
}

OverallStatus Monitor::overallStatus() const {
    return OverallStatus::of(m_hosts.hosts(), m_running, m_passOver, m_timerHeld);
}

void Monitor::localeChanged() { m_timeFormat = TimeFormat::fromLocale(QLocale::system()); }

// --- CheckSink ------------------------------------------------------------------------

void Monitor::appendLogLine(const QString& line) { emit logLine(line); }

void Monitor::showReport(const QString& report) { m_report = report; }

void Monitor::reportTitles(const QStringList& lost, const QStringList& appeared) {
    emit reportReady(std::exchange(m_report, {}), lost, appeared);
}

void Monitor::hostChanged(const QString& title, const QString& address, bool appeared,
                          qint64 roundTripUs) {
    // The change's log line was written just before, with this moment's time.
    const QDateTime at = m_lastLogTime.isValid() ? m_lastLogTime : QDateTime::currentDateTime();
    const ChangeEvent change{at, title, address, appeared, roundTripUs};
    const bool dropped = m_changes.add(change);
    if (dropped && m_changes.dropped() == 1) {
        std::fprintf(stderr,
                     "hostvane: Log > Export keeps the last %zu changes; older ones are "
                     "dropped from now on\n",
                     m_changes.capacity());
    }
    emit changeReported(change);
}

void Monitor::passEnded(std::uint64_t listGeneration) {
    if (m_cycle) m_passSeconds = std::chrono::duration<double>(m_cycle->lastPassDuration()).count();
    publishMetrics();
    // Every host of the pass went over before its summary: hand the pass to the writer (a
    // move under a lock, never a write).
    if (m_history) m_history->endPass();
    // A pass cut short by a rebuild walked the old list: the new one is still unknown.
    if (listGeneration == m_hosts.generation()) {
        m_passOver = true;
        emit statusChanged();
    }
    emit passFinished();
}

QString Monitor::timeText() {
    m_lastLogTime = QDateTime::currentDateTime();
    return m_timeFormat.format(m_lastLogTime.time());
}

}  // namespace hv
