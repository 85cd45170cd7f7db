#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "metrics/MetricsSnapshot.h"

namespace prometheus {
class Exposer;
}

namespace hv {

// A [Metrics] Listen value taken apart: an IPv4 address or an IPv6 address in brackets, a
// colon and a port from 1 to 65535 ("127.0.0.1:9860", "[::1]:9860").
struct ListenAddress {
    QString host;  // without brackets
    int port = 0;
    bool ipv6 = false;
    // The form the HTTP server's "listening_ports" option takes.
    QString serverForm() const;
};
// Nothing and a one-line reason when the text is no such address.
std::optional<ListenAddress> parseListenAddress(const QString& text, QString* error = nullptr);

// GET /metrics on one address, served by worker threads of the HTTP server: a scrape renders
// the snapshot published last and never waits for the main thread or the check cycle. Every
// other path gets 404. A request costs only its own connection: at most `threads`
// connections are served at once (more wait in the listen queue), a request line and headers
// longer than `maxRequestBytes` are refused, and one that is not complete within
// `requestTimeoutMs` is dropped.
class MetricsServer {
public:
    struct Limits {
        int threads = 4;
        int requestTimeoutMs = 5000;
        int maxRequestBytes = 8192;
        // Port 0 lets the system choose one (tests).
        bool anyPort = false;
    };

    // Binds and starts serving an empty snapshot until publish(). Throws hv::Error with a
    // one-line reason when the address is malformed or cannot be bound.
    explicit MetricsServer(const QString& listen);
    MetricsServer(const QString& listen, const Limits& limits);
    // Stops serving in the background: returns at once, the address is released within about
    // 2 s.
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // The port bound (the one asked for, or the system's choice for port 0 in tests).
    int port() const { return m_port; }
    // Any thread: the snapshot the following scrapes render.
    void publish(std::shared_ptr<const MetricsSnapshot> snapshot);
    // What the following scrapes render.
    std::shared_ptr<const MetricsSnapshot> published() const;

    class Source;

private:
    std::shared_ptr<Source> m_source;
    std::unique_ptr<prometheus::Exposer> m_exposer;
    int m_port = 0;
};

}  // namespace hv
