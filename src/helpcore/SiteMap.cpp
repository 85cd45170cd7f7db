#include "helpcore/SiteMap.h"

#include <QRegularExpression>

namespace hv {

namespace {

QRegularExpression attributeRe(const char* name) {
    return QRegularExpression(QStringLiteral("\\b%1\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))")
                                  .arg(QLatin1String(name)),
                              QRegularExpression::CaseInsensitiveOption);
}

QString attribute(const QString& tag, const QRegularExpression& re) {
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
    static const QRegularExpression typeRe = attributeRe("type");
    static const QRegularExpression nameRe = attributeRe("name");
    static const QRegularExpression valueRe = attributeRe("value");
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
                inObject = attribute(attrs, typeRe)
                               .compare(QStringLiteral("text/sitemap"), Qt::CaseInsensitive) == 0;
                current = Entry{};
                current.depth = depth > 0 ? depth - 1 : 0;
            } else if (inObject) {
                inObject = false;
                if (!current.name.isEmpty() || !current.local.isEmpty()) entries.append(current);
            }
        } else if (tag == QStringLiteral("param") && inObject) {
            const QString name = attribute(attrs, nameRe).toLower();
            const QString value = unescape(attribute(attrs, valueRe));
            if (name == QStringLiteral("name") && current.name.isEmpty())
                current.name = value;
            else if (name == QStringLiteral("local") && current.local.isEmpty())
                current.local = value;
        }
    }
    return entries;
}

}  // namespace hv
