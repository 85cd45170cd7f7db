#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace hv {

// Our stand-in for the named mutex "PREVINST:<name>": an exclusive flock on a file of that
// name in the user's runtime folder ($XDG_RUNTIME_DIR, else a 0700 folder of the user's under
// /tmp), held for the whole run. The first copy also listens on a local socket beside it; a
// later copy sends it one request (ActivatePreviousInstance) and ends.
class InstanceLock : public QObject {
    Q_OBJECT
public:
    // "PREVINST:" + the executable-derived name, cut to 512 characters of name.
    static QString mutexName(const QString& executableDerivedName);
    // $XDG_RUNTIME_DIR, else /tmp/hostvane-<uid> (created 0700, refused when not ours).
    static QString runtimeDir();
    // The folder at path, made 0700 when missing; empty when it is not a folder of this user's
    // with mode 0700 (a symbolic link is refused too).
    static QString privateDir(const QString& path);

    explicit InstanceLock(const QString& mutexName, QString runtimeDir = {},
                          QObject* parent = nullptr);
    ~InstanceLock() override;

    // Where the lock and the socket live. A name too long for one file name (255 bytes) or
    // for a socket address (107 bytes) is shortened there, keeping a hash of the whole name.
    QString lockPath() const;
    QString socketPath() const;

    // Takes the lock; true only in the copy that holds it (IsFirstInstance). A lock file that
    // cannot be opened counts as held by another copy.
    bool acquire();
    bool isFirstInstance() const { return m_first; }
    // Why the last acquire() could not even try the lock (no usable runtime folder, a lock
    // file that cannot be opened); empty when another copy simply holds it.
    const QString& failureReason() const { return m_failure; }

    // In a later copy: asks the running copy to come forward; returns within about a second.
    void activatePreviousInstance();

signals:
    // In the first copy, on the main thread: a later copy asked to be brought forward.
    void activationRequested();

private:
    void listen();
    void serve();

    QString m_name;
    QString m_dir;
    int m_fd = -1;
    bool m_first = false;
    QString m_failure;
    QLocalServer* m_server = nullptr;
};

}  // namespace hv
