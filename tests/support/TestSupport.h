#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace hvtest {

// A temporary folder that is removed with the object.
class TempDir {
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Writes bytes exactly as given (no line-end translation) and returns the path.
    QString write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Points XDG_CONFIG_HOME and XDG_RUNTIME_DIR at temporary folders for the whole test run,
// so no test touches the user's desktop. Called by the test mains.
void isolateFromDesktop();

// The build tree (where the built `hostvane` and its files are) and the source tree.
QString buildDir();
QString sourceDir();

// Runs a bounded command and returns its exit code (-1 on time-out or start failure).
int runCommand(const QString& program, const QStringList& args, int timeoutMs,
               QByteArray* out = nullptr, QByteArray* err = nullptr);

bool isRoot();

// Lays what the program reads beside its executable into dir (the shipped skin and
// English.lng) with a stand-in executable file, and returns that file's path.
QString layProgramFolder(const TempDir& dir);

// Runs the event loop until done() holds or ms have passed; returns done().
bool waitFor(const std::function<bool()>& done, int ms = 15000);

}  // namespace hvtest
