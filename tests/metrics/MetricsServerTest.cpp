#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "metrics/MetricsServer.h"
#include "platform/Error.h"

using hv::MetricsServer;
using hv::MetricsSnapshot;

namespace {

// A TCP connection to 127.0.0.1:port whose reads give up after `timeoutMs`.
class Client {
public:
    explicit Client(int port, int timeoutMs = 3000) : m_fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Client() { ::close(m_fd); }
    bool send(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    // Everything until the server closes (or the read times out).
    std::string readAll() {
        std::string out;
        char buf[16384];
        for (int i = 0; i < 100000; ++i) {
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }
    // True when the server closes the connection (with or without an error response) before
    // the read time-out.
    bool closedByServer() {
        char buf[4096];
        for (int i = 0; i < 1000; ++i) {
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n == 0) return true;
            if (n < 0) return errno != EAGAIN && errno != EWOULDBLOCK;
        }
        return false;
    }
    bool connected = false;

private:
    int m_fd;
};

std::string get(int port, const std::string& path) {
    Client c(port);
    c.send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    return c.readAll();
}

int status(const std::string& response) {
    if (response.rfind("HTTP/1.", 0) != 0 || response.size() < 12) return -1;
    return std::stoi(response.substr(9, 3));
}

std::string body(const std::string& response) {
    const auto at = response.find("\r\n\r\n");
    return at == std::string::npos ? std::string() : response.substr(at + 4);
}

std::shared_ptr<const MetricsSnapshot> snapshot(const QString& title, bool up) {
    auto s = std::make_shared<MetricsSnapshot>();
    s->hosts.push_back(hv::HostSample{title, QStringLiteral("10.0.0.1"), up, up ? 3 : -1, 1, 0,
                                      up ? "up" : "lost"});
    s->version = QStringLiteral("test");
    return s;
}

MetricsServer::Limits testLimits() {
    MetricsServer::Limits limits;
    limits.anyPort = true;
    limits.requestTimeoutMs = 700;
    return limits;
}

}  // namespace

TEST(ListenAddress, AcceptsAnAddressAndAPortOnly) {
    const struct {
        const char* text;
        const char* serverForm;  // null: refused
    } cases[] = {
        {"127.0.0.1:9860", "127.0.0.1:9860"},
        {"[::1]:9860", "[::1]:9860"},
        {" 0.0.0.0:80 ", "0.0.0.0:80"},
        {"[2001:db8::5]:65535", "[2001:db8::5]:65535"},
        {"", nullptr},
        {"127.0.0.1", nullptr},
        {"localhost:9860", nullptr},
        {"127.0.0.1:0", nullptr},
        {"127.0.0.1:65536", nullptr},
        {"127.0.0.1:99999", nullptr},
        {"::1:9860", nullptr},
        {"[::1]", nullptr},
        {"[127.0.0.1]:80", nullptr},
        {"1.2.3:80", nullptr},
        {"300.0.0.1:80", nullptr},
        {"127.0.0.1:98x", nullptr},
    };
    for (const auto& c : cases) {
        QString why;
        const auto parsed = hv::parseListenAddress(QString::fromUtf8(c.text), &why);
        if (c.serverForm) {
            ASSERT_TRUE(parsed) << c.text << ": " << why.toStdString();
            EXPECT_EQ(parsed->serverForm().toStdString(), c.serverForm);
        } else {
            EXPECT_FALSE(parsed) << c.text;
            EXPECT_FALSE(why.isEmpty()) << c.text;
        }
    }
}

// The scrape renders what was published last; other paths are not found.
TEST(MetricsServer, ServesThePublishedSnapshotAndNothingElse) {
    MetricsServer server(QStringLiteral("127.0.0.1:0"), testLimits());
    ASSERT_GT(server.port(), 0);

    std::string r = get(server.port(), "/metrics");
    EXPECT_EQ(status(r), 200) << r;
    EXPECT_NE(r.find("Content-Type: text/plain"), std::string::npos) << r;
    EXPECT_NE(body(r).find("hostvane_checking 0\n"), std::string::npos) << r;
    EXPECT_EQ(body(r).find("hostvane_host_up{"), std::string::npos) << r;

    server.publish(snapshot(QStringLiteral("Gate \"1\""), true));
    r = get(server.port(), "/metrics");
    EXPECT_NE(body(r).find("hostvane_host_up{title=\"Gate \\\"1\\\"\",address=\"10.0.0.1\"} 1\n"),
              std::string::npos)
        << r;
    server.publish(snapshot(QStringLiteral("Gate \"1\""), false));
    r = get(server.port(), "/metrics");
    EXPECT_NE(body(r).find("address=\"10.0.0.1\"} 0\n"), std::string::npos) << r;
    EXPECT_EQ(body(r).find("hostvane_host_round_trip_seconds{"), std::string::npos) << r;

    for (const char* path : {"/", "/metricsx", "/favicon.ico", "/index.html", "/../etc/passwd"})
        EXPECT_EQ(status(get(server.port(), path)), 404) << path;
}

TEST(MetricsServer, PortInUseIsOneLineError) {
    MetricsServer first(QStringLiteral("127.0.0.1:0"), testLimits());
    const QString taken = QStringLiteral("127.0.0.1:%1").arg(first.port());
    try {
        MetricsServer second(taken);
        FAIL() << "a second server bound " << taken.toStdString();
    } catch (const hv::Error& e) {
        EXPECT_TRUE(e.message().startsWith("cannot serve metrics on " + taken + ": "))
            << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(QLatin1Char('\n'))) << e.message().toStdString();
    }
    // The first one still serves.
    EXPECT_EQ(status(get(first.port(), "/metrics")), 200);
    EXPECT_THROW(MetricsServer(QStringLiteral("localhost:9860")), hv::Error);
    // An address this machine does not have.
    EXPECT_THROW(MetricsServer(QStringLiteral("192.0.2.1:9860")), hv::Error);
}

// Requests that are never finished, too large or not HTTP cost their own connection only:
// scrapes go on meanwhile, and the unfinished ones are dropped after the time limit.
TEST(MetricsServer, BadRequestsDoNotStopScrapes) {
    MetricsServer server(QStringLiteral("127.0.0.1:0"), testLimits());
    server.publish(snapshot(QStringLiteral("A"), true));
    const int port = server.port();

    // Two connections that send half a request and wait, and one that sends nothing.
    Client halfA(port, 5000), halfB(port, 5000), silent(port, 5000);
    ASSERT_TRUE(halfA.connected && halfB.connected && silent.connected);
    halfA.send("GET /metrics HTTP/1.1\r\nHost: x\r\n");
    halfB.send("GE");

    const std::string huge =
        "GET /metrics HTTP/1.1\r\nHost: x\r\nX-Big: " + std::string(64 * 1024, 'a') + "\r\n\r\n";
    const std::vector<std::string> bad = {
        huge,
        "BLAH\r\n\r\n",
        std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11) + "\r\n\r\n",
        "GET /metrics HTTP/9.9\r\n\r\n",
        "GET metrics\r\n\r\n",
        "POST /metrics HTTP/1.1\r\nContent-Length: 99999999\r\n\r\nabc",
    };
    for (const std::string& request : bad) {
        Client c(port);
        c.send(request);
        const std::string r = c.readAll();
        EXPECT_NE(status(r), 200) << request.substr(0, 40) << " got " << r.substr(0, 60);
        // A scrape right after each still gets the hosts.
        const std::string scrape = get(port, "/metrics");
        EXPECT_EQ(status(scrape), 200) << request.substr(0, 40);
        EXPECT_NE(scrape.find("hostvane_host_up{title=\"A\""), std::string::npos);
    }

    // The unfinished ones are dropped within a bounded time (700 ms asked; 5 s allowed).
    EXPECT_TRUE(halfA.closedByServer());
    EXPECT_TRUE(halfB.closedByServer());
    EXPECT_TRUE(silent.closedByServer());
    EXPECT_EQ(status(get(port, "/metrics")), 200);
}

// Publishing on one thread while others scrape: each scrape renders one whole snapshot.
TEST(MetricsServer, PublishWhileScraping) {
    MetricsServer server(QStringLiteral("127.0.0.1:0"), testLimits());
    std::atomic<bool> done{false};
    std::thread publisher([&] {
        for (int i = 0; i < 200 && !done; ++i) {
            server.publish(snapshot(QStringLiteral("H%1").arg(i), i % 2 == 0));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int whole = 0;
    for (int i = 0; i < 30; ++i) {
        const std::string r = body(get(server.port(), "/metrics"));
        if (r.find("hostvane_build_info{version=") != std::string::npos) ++whole;
        EXPECT_LE(std::count(r.begin(), r.end(), '\n') > 0 ? 1 : 0, 1);
        const auto ups = r.find("hostvane_host_up{");
        EXPECT_EQ(r.find("hostvane_host_up{", ups == std::string::npos ? 0 : ups + 1),
                  std::string::npos)
            << "two hosts in one scrape: " << r;
    }
    done = true;
    publisher.join();
    EXPECT_EQ(whole, 30);
}
