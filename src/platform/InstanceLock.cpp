#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace hv {

namespace {

constexpr int kMaxNameLength = 512;
constexpr qsizetype kMaxFileName = 255;    // NAME_MAX
constexpr qsizetype kMaxSocketPath = 107;  // sun_path less its terminating zero
constexpr int kMaxRequest = 64;
constexpr int kRequestTimeoutMs = 2000;
const QByteArray kRequest = QByteArrayLiteral("activate\n");

QByteArray hashOf(const QString& name) {
    return QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
}

// The name as a file name: as it is when it fits and holds no "/", else the part that fits
// with a hash of the whole name, so that different names stay different files.
QString fileNameFor(const QString& name, qsizetype maxBytes) {
    if (name.toUtf8().size() <= maxBytes && !name.contains(QLatin1Char('/'))) return name;
    const QString tail = QLatin1Char('~') + QString::fromLatin1(hashOf(name));
    QString head = name;
    head.replace(QLatin1Char('/'), QLatin1Char('_'));
    while (!head.isEmpty() && (head + tail).toUtf8().size() > maxBytes) {
        head.chop(1);
        if (!head.isEmpty() && head.back().isHighSurrogate()) head.chop(1);
    }
    return head + tail;
}

}  // namespace

QString InstanceLock::mutexName(const QString& executableDerivedName) {
    QString name = executableDerivedName.left(kMaxNameLength);
    if (name.size() == kMaxNameLength && name.back().isHighSurrogate()) name.chop(1);
    return QStringLiteral("PREVINST:") + name;
}

QString InstanceLock::runtimeDir() {
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty()) {
        struct stat st {};
        if (::stat(xdg.constData(), &st) == 0 && S_ISDIR(st.st_mode)) return QFile::decodeName(xdg);
    }
    // Our own folder under /tmp; one that someone else made or opened up is not used, since
    // whoever controls it controls which copy believes it is the first.
    return privateDir(QStringLiteral("/tmp/hostvane-%1").arg(::getuid()));
}

QString InstanceLock::privateDir(const QString& path) {
    const QByteArray dir = QFile::encodeName(path);
    if (::mkdir(dir.constData(), 0700) == 0)
        ::chmod(dir.constData(), 0700);  // whatever the umask took away
    else if (errno != EEXIST)
        return {};
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 07777) != 0700)
        return {};
    return path;
}

InstanceLock::InstanceLock(const QString& mutexName, QString runtimeDir, QObject* parent)
    : QObject(parent),
      m_name(mutexName),
      m_dir(runtimeDir.isEmpty() ? InstanceLock::runtimeDir() : std::move(runtimeDir)) {}

InstanceLock::~InstanceLock() {
    if (m_server) m_server->close();  // removes the socket file
    if (m_fd >= 0) ::close(m_fd);     // and with it the lock
}

QString InstanceLock::lockPath() const {
    if (m_dir.isEmpty()) return {};
    return m_dir + QLatin1Char('/') + fileNameFor(m_name, kMaxFileName);
}

QString InstanceLock::socketPath() const {
    if (m_dir.isEmpty()) return {};
    const QString prefix = m_dir + QLatin1Char('/');
    const QString suffix = QStringLiteral(".sock");
    const qsizetype room = kMaxSocketPath - (prefix + suffix).toUtf8().size();
    // A folder so deep that not even a hash fits leaves the copies without activation.
    if (room < 17) return {};
    return prefix + fileNameFor(m_name, std::min(room, kMaxFileName - suffix.size())) + suffix;
}

bool InstanceLock::acquire() {
    if (m_first) return true;
    m_failure.clear();
    const QString path = lockPath();
    if (path.isEmpty()) {
        m_failure = QStringLiteral("no usable runtime folder");
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        m_failure = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_first = true;
    listen();
    return true;
}

void InstanceLock::listen() {
    const QString path = socketPath();
    if (path.isEmpty()) return;
    // Whatever socket file is there was left by a copy that no longer holds the lock.
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceLock::serve);
    if (!m_server->listen(path)) {
        delete m_server;
        m_server = nullptr;
    }
}

void InstanceLock::serve() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A caller that connects and says nothing does not keep its socket for long.
        QTimer::singleShot(kRequestTimeoutMs, socket, &QLocalSocket::abort);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // One short line is all a later copy sends; anything else is dropped.
            if (socket->canReadLine()) {
                if (socket->readLine(kMaxRequest) == kRequest) emit activationRequested();
                socket->abort();
            } else if (socket->bytesAvailable() >= kMaxRequest) {
                socket->abort();
            }
        });
    }
}

void InstanceLock::activatePreviousInstance() {
    const QString path = socketPath();
    if (path.isEmpty()) return;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(500)) return;
    socket.write(kRequest);
    socket.waitForBytesWritten(500);
    socket.disconnectFromServer();
}

}  // namespace hv
