#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "helpcore/ChmTables.h"
#include "helpcore/SiteMap.h"

struct chmFile;

namespace hv {

// One compiled HTML help file, read with chmlib. Any thread, one thread at a time per object.
// A file that is missing, not a help file or damaged gives an error text, never a crash.
class ChmFile {
public:
    // Opens the file; check error() afterwards.
    explicit ChmFile(const QString& path);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    bool isOpen() const { return m_handle != nullptr; }
    // Why the file could not be opened, in one line for the user; empty when it is open.
    QString error() const { return m_error; }
    QString path() const { return m_path; }

    // The bytes of an internal object ("/page.htm"); none when it is missing or unreadable.
    // Objects above 64 MB are refused.
    std::optional<QByteArray> read(const QString& objectPath) const;
    bool contains(const QString& objectPath) const;
    const QStringList& objects() const { return m_objects; }

    const ChmTables::System& system() const { return m_system; }
    // Context number -> the object of its page ([MAP] and [ALIAS] of the project); a context
    // whose target names no object in the file is left out.
    const QMap<quint32, QString>& contexts() const { return m_contexts; }
    QString pageForContext(quint32 context) const { return m_contexts.value(context); }
    QString defaultPage() const;  // the default topic's object, else the first page

    QList<SiteMap::Entry> contents() const;  // empty when the file has no contents file
    QList<SiteMap::Entry> index() const;

private:
    QString m_path;
    QString m_error;
    chmFile* m_handle = nullptr;
    QStringList m_objects;
    ChmTables::System m_system;
    QMap<quint32, QString> m_contexts;
};

}  // namespace hv
