#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace hv {

// How --once prints its results: tsv (the terminal lines and the report, also without
// --format), csv (RFC 4180 with a header row), json (one document) or prometheus (the text
// exposition format, as the tray program serves it).
enum class OnceFormat { Tsv, Csv, Json, Prometheus };

// The --format value's format; nothing for an unknown name.
std::optional<OnceFormat> onceFormatFromName(const QString& name);

// `hostvane --once`: one real pass over the settings file's host list, printed for terminals
// and scripts; needs no display and takes no instance lock. Returns the exit status: 0 when
// every checked host is up, 1 when any is down (or the pass could not run), 2 when the
// settings file exists but cannot be read.
int runCheckOnce(const QString& executablePath);
// The same, with the text appended to *output instead of written to standard output.
int runCheckOnce(const QString& executablePath, QByteArray* output);
// The same in the given format.
int runCheckOnce(const QString& executablePath, QByteArray* output, OnceFormat format);

// The terminal modes of the command line, for main() to call first: --once (with
// --format=tsv|csv|json|prometheus, or --format tsv), --version
// ("Hostvane " and the project version), --help; any other option is a usage error (status 2). Qt's
// own single-dash options (-platform xcb, -display :1, ...) are left to the tray program. Returns
// the exit status when a terminal mode was asked for, nothing when the tray program should start.
// Creates no QGuiApplication (a QCoreApplication for --once when none exists).
std::optional<int> runCommandLine(int argc, char** argv);
// The same on the arguments after the program's name, printing to out and err.
std::optional<int> runCommandLine(const QStringList& arguments, std::FILE* out, std::FILE* err);

QString commandLineHelp();

}  // namespace hv
