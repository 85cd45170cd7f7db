#include "help/core/SiteMap.h"

#include <QRegularExpression>

namespace hv {

namespace {

QString attribute(const QString& tag, const QString& name) {
    const QRegularExpression re(
        QStringLiteral("\\b%1\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))").arg(name),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(tag);
    if (!m.hasMatch()) return {};
    for (int i = 1; i <= 3; ++i)
        if (m.capturedStart(i) >= 0) return m.captured(i);
    return {};
}

QString unescape(QString s) {
    s.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    s.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    s.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    s.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    s.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return s;
}

}  // namespace

QList<SiteMap::Entry> SiteMap::parse(const QByteArray& html) {
    QList<Entry> entries;
    QString text = QString::fromUtf8(html);
    if (text.contains(QChar::ReplacementCharacter)) text = QString::fromLatin1(html);
    int depth = 0;
    bool inObject = false;
    Entry current;
    static const QRegularExpression tagRe(QStringLiteral("<\\s*(/?)\\s*([a-zA-Z]+)([^>]*)>"));
    auto it = tagRe.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString tag = m.captured(2).toLower();
        const QString attrs = m.captured(3);
        if (tag == QStringLiteral("ul")) {
            depth += closing ? -1 : 1;
            if (depth < 0) depth = 0;
        } else if (tag == QStringLiteral("object")) {
            if (!closing) {
                inObject = attribute(attrs, QStringLiteral("type"))
                               .compare(QStringLiteral("text/sitemap"), Qt::CaseInsensitive) == 0;
                current = Entry{};
                current.depth = depth > 0 ? depth - 1 : 0;
            } else if (inObject) {
                inObject = false;
                if (!current.name.isEmpty() || !current.local.isEmpty()) entries.append(current);
            }
        } else if (tag == QStringLiteral("param") && inObject) {
            const QString name = attribute(attrs, QStringLiteral("name")).toLower();
            const QString value = unescape(attribute(attrs, QStringLiteral("value")));
            if (name == QStringLiteral("name") && current.name.isEmpty())
                current.name = value;
            else if (name == QStringLiteral("local") && current.local.isEmpty())
                current.local = value;
        }
    }
    return entries;
}

}  // namespace hv
