#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QWidget>
#include <functional>

class QPlainTextEdit;

namespace hv {

class ChangeEvents;

// The event log window: the in-memory log under its dated header; the user may edit it,
// close it (Esc, the window manager's close button) and save it.
class LogWindow : public QWidget {
    Q_OBJECT
public:
    explicit LogWindow(QWidget* parent = nullptr, const QDate& startDate = QDate::currentDate());

    QPlainTextEdit* memLog = nullptr;

    // A new last line of its own, even after the user's edits left no final line break.
    void appendLine(const QString& line);
    // The log as saved: lines joined by CR LF.
    QString text() const;

    void miViewLogClick();
    // Shows the save dialog in <exeDir>/logs (or exeDir), then saveTo(); errors go to the
    // application's error box.
    void miSaveLogClick(const QString& executableDir);

    // Log > Export: the same save dialog rules as Save (folder, proposed name, a bare name
    // completed) with ".csv" in place of ".log", then exportTo(); errors go to the error box.
    void miExportLogClick(const QString& executableDir, const ChangeEvents& changes);

    static QString headerLine(const QDate& date);           // "  *** mm.dd.yyyy ***"
    static QString proposedFileName(const QDateTime& now);  // hh-mm-ss--MM-dd-yyyy.log
    // logs/ if it exists, else the executable's folder, or the user's documents folder when
    // that folder is read-only (an installed copy).
    static QString initialFolder(const QString& executableDir);
    static QString withLogExtension(const QString& fileName);  // ".log" added to a bare name
    static QString withCsvExtension(const QString& fileName);  // ".csv" added to a bare name
    // Writes text() unchanged (UTF-8, CR LF); a file already there is replaced whole or left as
    // it was. Throws Error("Cannot create file \"%s\". %s.") with the full path and the
    // system's text for the error; the message ends with its full stop, so the box adds none.
    void saveTo(const QString& path) const;
    // Writes changes.toCsv() the same way, with the same errors.
    static void exportTo(const QString& path, const ChangeEvents& changes);

    // Export of other windows (the history's): the save dialog with the rules of Log > Export
    // under its own title and object name, then bytes() written as exportTo writes; errors go
    // to the error box. Whether a file was written.
    static bool exportCsv(const QString& executableDir, const QString& title,
                          const QString& objectName, const std::function<QByteArray()>& bytes);

private:
    // The save dialog of Save and Export; the chosen path, or nothing when cancelled.
    static QString chooseFile(const QString& executableDir, const QString& title,
                              const QString& objectName, const QString& filter,
                              const QString& suffix);
    static void writeFile(const QString& path, const QByteArray& bytes);
};

}  // namespace hv
