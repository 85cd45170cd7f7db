#include "TestSupport.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdlib>

namespace hvtest {

TempDir::TempDir() : m_dir(QDir::tempPath() + "/hvtest-XXXXXX") {}

QString TempDir::write(const QString& name, const QByteArray& bytes) const {
    const QString p = file(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    f.write(bytes);
    return p;
}

QByteArray TempDir::read(const QString& name) const {
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void isolateFromDesktop() {
    static QTemporaryDir root(QDir::tempPath() + "/hvtest-desktop-XXXXXX");
    const QString config = root.filePath("config");
    const QString runtime = root.filePath("runtime");
    QDir().mkpath(config);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_CONFIG_HOME", config.toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit().constData(), 1);
    setenv("LC_ALL", "C.UTF-8", 1);
}

QString buildDir() { return QStringLiteral(HV_BUILD_DIR); }
QString sourceDir() { return QStringLiteral(HV_SOURCE_DIR); }

int runCommand(const QString& program, const QStringList& args, int timeoutMs, QByteArray* out,
               QByteArray* err) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(5000)) return -1;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return -1;
    }
    if (out) *out = p.readAllStandardOutput();
    if (err) *err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool isRoot() { return geteuid() == 0; }

QString layProgramFolder(const TempDir& dir) {
    QDir().mkpath(dir.file("skins"));
    QDir().mkpath(dir.file("Languages"));
    QFile::copy(sourceDir() + "/dist/skins/hostvane.skn", dir.file("skins/hostvane.skn"));
    QFile::copy(sourceDir() + "/dist/Languages/English.lng", dir.file("Languages/English.lng"));
    return dir.write("hostvane", "#!/bin/sh\n");
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

}  // namespace hvtest
