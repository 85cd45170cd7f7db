#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

namespace hv {

namespace {

mode_t currentUmask() {
    // Reading the mask with umask() would change it for every thread for a moment. The file's
    // size reads as 0, so it is read to its end rather than by its size.
    char buffer[4096];
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 022;
    const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (n <= 0) return 022;
    const QByteArray status(buffer, n);
    const qsizetype at = status.indexOf("\nUmask:");
    if (at < 0) return 022;
    const qsizetype end = status.indexOf('\n', at + 1);
    bool ok = false;
    const uint mask = status.mid(at + 7, end - at - 7).trimmed().toUInt(&ok, 8);
    return ok ? static_cast<mode_t>(mask & 0777) : 022;
}

bool writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return false;
    }
    return true;
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QStringLiteral(".") : path.left(slash == 0 ? 1 : slash);
}

}  // namespace

AtomicFileError::AtomicFileError(const QString& path, int systemError)
    : Error(QStringLiteral("Unable to write to %1").arg(path)), m_systemError(systemError) {}

QString AtomicFile::resolveLinks(const QString& path) {
    QString current = path;
    for (int hop = 0; hop < 40; ++hop) {
        const QByteArray name = QFile::encodeName(current);
        char buffer[4096];
        const ssize_t n = ::readlink(name.constData(), buffer, sizeof buffer - 1);
        if (n < 0) return current;  // not a link (or gone): this is the file
        const QString target = QFile::decodeName(QByteArray(buffer, n));
        current = target.startsWith(u'/') ? target : folderOf(current) + u'/' + target;
    }
    return current;
}

void AtomicFile::write(const QString& path, const QByteArray& bytes, const Options& options) {
    const QString target = resolveLinks(path);
    const QString folder = folderOf(target);
    const QString name = target.mid(target.lastIndexOf(u'/') + 1);
    const QByteArray encodedTarget = QFile::encodeName(target);
    const auto fail = [&](int error) { throw AtomicFileError(path, error); };

    if (name.isEmpty()) fail(EISDIR);
    struct stat old {};
    const bool hadOld = ::stat(encodedTarget.constData(), &old) == 0;
    if (!hadOld && errno != ENOENT) fail(errno);
    if (hadOld && S_ISDIR(old.st_mode)) fail(EISDIR);
    if (hadOld && !S_ISREG(old.st_mode)) fail(EINVAL);
    if (hadOld && options.refuseReadOnly && ::access(encodedTarget.constData(), W_OK) != 0)
        fail(errno);
    const mode_t mode =
        hadOld ? (old.st_mode & 07777) : (options.newFileMode & 0777 & ~currentUmask());

    QByteArray temp =
        QFile::encodeName(folder + QStringLiteral("/.") + name + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) fail(errno);

    int error = 0;
    if (::fchmod(fd, mode) != 0) error = errno;
    if (error == 0 && hadOld && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        // Keeps the owner when root edits someone's file; a plain user cannot, and need not.
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
    if (error == 0 && !writeAll(fd, bytes)) error = errno ? errno : EIO;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0) {
        // link() never replaces an existing target, not even one that appeared meanwhile.
        const int placed = options.noReplace
                               ? ::link(temp.constData(), encodedTarget.constData())
                               : ::rename(temp.constData(), encodedTarget.constData());
        if (placed != 0) error = errno;
    }
    // After a link the temporary name is the file's second name: it goes too.
    if (error != 0 || options.noReplace) ::unlink(temp.constData());
    if (error != 0) fail(error);

    const int dirFd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);  // the rename itself reaches the disk
        ::close(dirFd);
    }
}

}  // namespace hv
