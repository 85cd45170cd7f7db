#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace hv {

// A help file's contents (.hhc) or index (.hhk): nested lists of sitemap objects, each with a
// name and a page. Any bytes parse; what is not a sitemap object is skipped.
class SiteMap {
public:
    struct Entry {
        QString name;
        QString local;  // the page inside the help file, as written ("page.htm#part")
        int depth = 0;  // 0 = top level
    };

    static QList<Entry> parse(const QByteArray& html);
};

}  // namespace hv
