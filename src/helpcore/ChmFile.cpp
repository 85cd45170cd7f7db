#include "helpcore/ChmFile.h"

#include <chm_lib.h>

#include <QFile>
#include <QFileInfo>

namespace hv {

namespace {

constexpr LONGUINT64 kMaxObject = 64ull << 20;

int collect(chmFile*, chmUnitInfo* ui, void* context) {
    static_cast<QStringList*>(context)->append(QString::fromUtf8(ui->path));
    return CHM_ENUMERATOR_CONTINUE;
}

}  // namespace

ChmFile::ChmFile(const QString& path) : m_path(path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        m_error = QStringLiteral("The help file %1 is missing.").arg(path);
        return;
    }
    if (!info.isFile() || !info.isReadable()) {
        m_error = QStringLiteral("The help file %1 cannot be read.").arg(path);
        return;
    }
    m_handle = chm_open(QFile::encodeName(path).constData());
    if (!m_handle) {
        m_error = QStringLiteral("%1 is not a compiled help file, or it is damaged.").arg(path);
        return;
    }
    chm_enumerate(m_handle, CHM_ENUMERATE_ALL, collect, &m_objects);
    if (const auto sys = read(QStringLiteral("/#SYSTEM"))) m_system = ChmTables::system(*sys);
    const auto ivb = read(QStringLiteral("/#IVB"));
    const auto strings = read(QStringLiteral("/#STRINGS"));
    if (ivb && strings) {
        const auto table = ChmTables::contextTable(*ivb, *strings);
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            const QString object = ChmTables::objectForTarget(it.value(), m_objects);
            if (!object.isEmpty()) m_contexts.insert(it.key(), object);
        }
    }
}

ChmFile::~ChmFile() {
    if (m_handle) chm_close(m_handle);
}

bool ChmFile::contains(const QString& objectPath) const {
    if (!m_handle) return false;
    chmUnitInfo ui;
    return chm_resolve_object(m_handle, objectPath.toUtf8().constData(), &ui) ==
           CHM_RESOLVE_SUCCESS;
}

std::optional<QByteArray> ChmFile::read(const QString& objectPath) const {
    if (!m_handle) return std::nullopt;
    chmUnitInfo ui;
    if (chm_resolve_object(m_handle, objectPath.toUtf8().constData(), &ui) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (ui.length > kMaxObject) return std::nullopt;
    QByteArray data(qsizetype(ui.length), '\0');
    if (ui.length == 0) return data;
    const LONGINT64 got = chm_retrieve_object(
        m_handle, &ui, reinterpret_cast<unsigned char*>(data.data()), 0, LONGINT64(ui.length));
    if (got <= 0) return std::nullopt;
    data.truncate(qsizetype(got));
    return data;
}

QString ChmFile::defaultPage() const {
    if (!m_system.defaultTopic.isEmpty()) {
        const QString object = ChmTables::objectPath(m_system.defaultTopic);
        if (contains(object)) return object;
    }
    for (const QString& o : m_objects)
        if (o.endsWith(QStringLiteral(".htm"), Qt::CaseInsensitive) ||
            o.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive))
            return o;
    return {};
}

QList<SiteMap::Entry> ChmFile::contents() const {
    if (m_system.contentsFile.isEmpty()) return {};
    const auto data = read(ChmTables::objectPath(m_system.contentsFile));
    return data ? SiteMap::parse(*data) : QList<SiteMap::Entry>{};
}

QList<SiteMap::Entry> ChmFile::index() const {
    if (m_system.indexFile.isEmpty()) return {};
    const auto data = read(ChmTables::objectPath(m_system.indexFile));
    return data ? SiteMap::parse(*data) : QList<SiteMap::Entry>{};
}

}  // namespace hv
