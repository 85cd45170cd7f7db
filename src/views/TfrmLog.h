#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace hv {

// The event log window: the in-memory log under its dated header; the user may edit it,
// close it (Esc, the window manager's close button) and save it.
class TfrmLog : public QWidget {
    Q_OBJECT
public:
    explicit TfrmLog(QWidget* parent = nullptr, const QDate& startDate = QDate::currentDate());

    QPlainTextEdit* memLog = nullptr;

    // A new last line of its own, even after the user's edits left no final line break.
    void appendLine(const QString& line);
    // The log as saved: lines joined by CR LF.
    QString text() const;

    void miViewLogClick();
    // Shows the save dialog in <exeDir>/logs (or exeDir), then saveTo(); errors go to the
    // application's error box.
    void miSaveLogClick(const QString& executableDir);

    static QString headerLine(const QDate& date);           // "  *** mm.dd.yyyy ***"
    static QString proposedFileName(const QDateTime& now);  // hh-mm-ss--MM-dd-yyyy.log
    // logs/ if it exists, else the executable's folder, or the user's documents folder when
    // that folder is read-only (an installed copy).
    static QString initialFolder(const QString& executableDir);
    static QString withLogExtension(const QString& fileName);  // ".log" added to a bare name
    // Writes text() unchanged (UTF-8, CR LF); a file already there is replaced whole or left as
    // it was. Throws Error("Cannot create file \"%s\". %s.") with the full path and the
    // system's text for the error; the message ends with its full stop, so the box adds none.
    void saveTo(const QString& path) const;
};

}  // namespace hv
