#pragma once

#include <QString>

namespace hv {

// Program files are looked up as Windows would on its case-blind file system: the exact name
// first, else the first entry of the folder whose name matches ignoring ASCII case. New files
// are created with the name as written.
namespace ProgramFiles {

// Full path of the running executable (from /proc/self/exe).
QString executablePath();
// Its folder, without a trailing separator.
QString executableDir();

// The executable's file name cut before its first "." with every character after the first
// turned to lower case: "Host.Vane" gives "Host", "HOSTVANE" gives "Hostvane".
QString executableDerivedName(const QString& executableFileName);

// One name inside dir: the existing entry that matches (exactly, else ignoring ASCII case),
// else dir + "/" + name as written.
QString resolve(const QString& dir, const QString& name);
// A relative path of several components ("skins/hostvane.skn"), each resolved in turn.
QString resolvePath(const QString& dir, const QString& relativePath);

// The executable's path with its extension replaced by ".ini", resolved as above
// ("/opt/hv/hostvane" reads "/opt/hv/Hostvane.ini" when only that exists).
QString iniPathFor(const QString& executablePath);

}  // namespace ProgramFiles
}  // namespace hv
