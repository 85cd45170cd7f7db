#include "metrics/MetricsServer.h"

#include <CivetServer.h>
#include <prometheus/collectable.h>
#include <prometheus/exposer.h>
#include <prometheus/metric_family.h>
#include <QHostAddress>
#include <QRegularExpression>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Error.h"

namespace hv {

QString ListenAddress::serverForm() const {
    const QString h = ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return h + QLatin1Char(':') + QString::number(port);
}

std::optional<ListenAddress> parseListenAddress(const QString& text, QString* error) {
    const auto bad = [&](const QString& why) -> std::optional<ListenAddress> {
        if (error) *error = why;
        return std::nullopt;
    };
    static const QRegularExpression form(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([0-9.]+)):([0-9]{1,5})$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch()) {
        return bad(QStringLiteral("\"%1\" is not an address and a port such as 127.0.0.1:9860 "
                                  "or [::1]:9860")
                       .arg(text));
    }
    ListenAddress address;
    address.ipv6 = m.capturedLength(1) > 0;
    address.host = address.ipv6 ? m.captured(1) : m.captured(2);
    const QHostAddress parsed(address.host);
    const bool familyOk = address.ipv6 ? parsed.protocol() == QAbstractSocket::IPv6Protocol
                                       : parsed.protocol() == QAbstractSocket::IPv4Protocol &&
                                             address.host.count(QLatin1Char('.')) == 3;
    if (!familyOk) return bad(QStringLiteral("\"%1\" is not an IP address").arg(address.host));
    address.port = m.captured(3).toInt();
    if (address.port < 1 || address.port > 65535)
        return bad(QStringLiteral("port %1 is outside 1 to 65535").arg(m.captured(3)));
    return address;
}

// What the exposer collects at each scrape, on its worker thread: the snapshot published last,
// taken under a lock held only for the copy of a pointer.
class MetricsServer::Source : public prometheus::Collectable {
public:
    std::vector<prometheus::MetricFamily> Collect() const override {
        return metricFamilies(*current());
    }
    std::shared_ptr<const MetricsSnapshot> current() const {
        std::lock_guard guard(m_lock);
        return m_snapshot;
    }
    void set(std::shared_ptr<const MetricsSnapshot> snapshot) {
        if (!snapshot) snapshot = std::make_shared<const MetricsSnapshot>();
        // The old one is freed after the lock is released.
        std::lock_guard guard(m_lock);
        m_snapshot.swap(snapshot);
    }

private:
    mutable std::mutex m_lock;
    std::shared_ptr<const MetricsSnapshot> m_snapshot = std::make_shared<const MetricsSnapshot>();
};

namespace {

// The HTTP server reports why it could not start through its log callback, on the thread that
// starts it; the message is kept for the error. Later messages (a refused request) are its
// own business and are dropped rather than written to stderr.
thread_local std::string startMessage;
thread_local bool starting = false;

int logMessage(const mg_connection*, const char* message) {
    if (starting && startMessage.empty() && message) startMessage = message;
    return 1;
}

// The exposer's handler would also take every path below and beside /metrics ("/metricsx",
// "/metrics/a"); the metrics have one address and the rest is not found.
int beginRequest(mg_connection* connection) {
    const mg_request_info* info = mg_get_request_info(connection);
    if (info && info->local_uri && std::strcmp(info->local_uri, "/metrics") == 0) return 0;
    mg_send_http_error(connection, 404, "%s", "Not Found");
    return 404;
}

}  // namespace

MetricsServer::MetricsServer(const QString& listen) : MetricsServer(listen, Limits{}) {}

MetricsServer::MetricsServer(const QString& listen, const Limits& limits)
    : m_source(std::make_shared<Source>()) {
    QString why;
    const bool systemPort = limits.anyPort && listen.endsWith(QLatin1String(":0"));
    std::optional<ListenAddress> address =
        parseListenAddress(systemPort ? listen.chopped(1) + QLatin1Char('1') : listen, &why);
    if (!address) throw Error(why);
    if (systemPort) address->port = 0;
    const std::vector<std::string> options = {
        "listening_ports",    address->serverForm().toStdString(),
        "num_threads",        std::to_string(limits.threads),
        "request_timeout_ms", std::to_string(limits.requestTimeoutMs),
        "max_request_size",   std::to_string(limits.maxRequestBytes),
        "enable_keep_alive",  "no",
    };
    static CivetCallbacks callbacks = [] {
        CivetCallbacks c;
        c.log_message = logMessage;
        c.begin_request = beginRequest;
        return c;
    }();
    startMessage.clear();
    starting = true;
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(options, &callbacks);
    } catch (const std::exception& e) {
        starting = false;
        std::string reason = startMessage.empty() ? std::string(e.what()) : startMessage;
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        throw Error(QStringLiteral("cannot serve metrics on %1: %2")
                        .arg(listen.trimmed(), QString::fromLocal8Bit(reason.c_str())));
    }
    starting = false;
    m_exposer->RegisterCollectable(m_source);
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    m_port = ports.empty() ? address->port : ports.front();
}

MetricsServer::~MetricsServer() {
    // The HTTP server's stop waits for its listening thread's poll, up to 2 s: the main thread
    // (quit, a changed address) does not wait for it. The address is free again once it has
    // stopped. The source goes with it, after it, so a scrape under way still renders.
    if (!m_exposer) return;
    std::thread([exposer = std::move(m_exposer), source = std::move(m_source)]() mutable {
        exposer.reset();
        source.reset();
    }).detach();
}

void MetricsServer::publish(std::shared_ptr<const MetricsSnapshot> snapshot) {
    m_source->set(std::move(snapshot));
}

std::shared_ptr<const MetricsSnapshot> MetricsServer::published() const {
    return m_source->current();
}

}  // namespace hv
