#pragma once

#include <sys/types.h>

#include <QByteArray>
#include <QString>

#include "platform/Error.h"

namespace hv {

// A replacement that failed; systemError() is the errno of the step that failed.
class AtomicFileError : public Error {
public:
    AtomicFileError(const QString& path, int systemError);
    int systemError() const { return m_systemError; }

private:
    int m_systemError;
};

// Replaces a file's whole content so that a crash at any moment leaves either the old file or
// the new one, never a mix: a temporary file in the target's own folder, fsync, rename over the
// target, fsync of the folder. A symbolic link (or a chain of them) is followed and the file it
// names is replaced, so the link stays a link; a dangling link gets its file created. An
// existing file keeps its permission bits (and its owner, where the process may set it); a new
// one gets newFileMode less the umask. On any failure the temporary file is removed and the
// target is as it was. Safe to call from any thread; two writers of one file: the last rename
// wins.
class AtomicFile {
public:
    struct Options {
        mode_t newFileMode = 0644;
        // Refuse (EACCES) to replace an existing file that this process may not write to,
        // although the rename alone would succeed.
        bool refuseReadOnly = false;
        // Create the file only: it is linked into place whole, and when the target exists
        // (also when it appears meanwhile) it is left as it is and the write fails with EEXIST.
        bool noReplace = false;
    };

    static void write(const QString& path, const QByteArray& bytes, const Options& options);
    static void write(const QString& path, const QByteArray& bytes) {
        write(path, bytes, Options{});
    }

    // The file path names after following every symbolic link (at most 40), or path itself.
    static QString resolveLinks(const QString& path);
};

}  // namespace hv
