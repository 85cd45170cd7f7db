// A damaged or hostile help file's tables: the #IVB and #STRINGS pair (split by the first two
// bytes, the #IVB length), the #SYSTEM records and the contents sitemap must parse without a
// read out of bounds, and every context found must name a text that came from #STRINGS.
#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "helpcore/ChmTables.h"
#include "helpcore/SiteMap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto* bytes = reinterpret_cast<const char*>(data);
    const std::size_t ivbSize = std::min<std::size_t>(size - 2, data[0] | (data[1] << 8));
    const QByteArray ivb = QByteArray::fromRawData(bytes + 2, qsizetype(ivbSize));
    const QByteArray strings =
        QByteArray::fromRawData(bytes + 2 + ivbSize, qsizetype(size - 2 - ivbSize));

    const auto table = hv::ChmTables::contextTable(ivb, strings);
    const QStringList objects = {QStringLiteral("/index.htm"), QStringLiteral("/sub/page.htm")};
    for (const QString& target : table) {
        if (target.isEmpty()) std::abort();
        const QString object = hv::ChmTables::objectForTarget(target, objects);
        if (!object.isEmpty() && !objects.contains(object)) std::abort();
    }
    const QByteArray whole = QByteArray::fromRawData(bytes, qsizetype(size));
    (void)hv::ChmTables::system(whole);
    (void)hv::SiteMap::parse(whole);
    return 0;
}
