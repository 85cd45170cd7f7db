#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace hvtest {

// Network namespaces made by a test and removed with the object (and, should a run die, by
// the next run: names carry the pid, and namespaces of dead pids are swept first). Nothing of
// the machine's own network is touched.
class NetNamespace {
public:
    // Empty when the test can make namespaces, otherwise why not (for GTEST_SKIP).
    static QString unavailableReason();

    explicit NetNamespace(const char* tag);
    ~NetNamespace();
    NetNamespace(const NetNamespace&) = delete;
    NetNamespace& operator=(const NetNamespace&) = delete;

    const std::string& name() const { return m_name; }
    bool ok() const { return m_ok; }

    // `ip -n <ns> args...`; false (and a test failure) when it fails.
    bool ip(const QStringList& args) const;
    bool sysctl(const QString& assignment) const;

    // Runs body on a thread of its own that has joined the namespace (and, with dropRaw, has
    // lost CAP_NET_RAW), and waits for it. Sockets that body opens live in the namespace.
    void run(const std::function<void()>& body, bool dropRaw = false) const;

    // Two namespaces joined by a veth pair: a = 198.51.100.1, b = 198.51.100.2 (/25).
    static bool link(NetNamespace& a, NetNamespace& b);

private:
    std::string m_name;
    bool m_ok = false;
};

}  // namespace hvtest
