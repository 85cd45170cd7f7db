// A StatusNotifier watcher and host of the tests' own, for a private session bus: it takes the
// name org.kde.StatusNotifierWatcher, says a host is there (so Qt shows its tray icon through
// the protocol, as under KDE), and for every item that registers prints a line whenever the
// item's icon or tooltip changes:
//   item <service><path> <md5 of the IconPixmap bytes> <tooltip title, line breaks as \n>
// It prints "ready" once the name is taken and ends after `seconds` (default 120).
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTimer>
#include <cstdio>

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItem = QStringLiteral("org.kde.StatusNotifierItem");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

class Watcher : public QDBusVirtualObject {
public:
    QStringList items;  // "service/path" as registered

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        if (m.interface() == kWatcher &&
            m.member() == QLatin1String("RegisterStatusNotifierItem")) {
            const QString arg = m.arguments().value(0).toString();
            // A path alone names an object of the caller; anything else is a service name.
            const QString item = arg.startsWith(QLatin1Char('/'))
                                     ? m.service() + arg
                                     : arg + QStringLiteral("/StatusNotifierItem");
            if (!items.contains(item)) items << item;
            bus.send(m.createReply());
            return true;
        }
        if (m.interface() == kProperties && m.member() == QLatin1String("Get")) {
            bus.send(m.createReply(
                QVariant::fromValue(QDBusVariant(property(m.arguments().value(1).toString())))));
            return true;
        }
        if (m.interface() == kProperties && m.member() == QLatin1String("GetAll")) {
            QVariantMap all;
            for (const char* name : {"IsStatusNotifierHostRegistered", "ProtocolVersion",
                                     "RegisteredStatusNotifierItems"})
                all.insert(QString::fromLatin1(name), property(QString::fromLatin1(name)));
            bus.send(m.createReply(QVariant::fromValue(all)));
            return true;
        }
        return false;
    }

    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg name=\"service\" type=\"s\" "
            "direction=\"in\"/></method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg name=\"service\" type=\"s\" "
            "direction=\"in\"/></method>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "</interface>");
    }

private:
    QVariant property(const QString& name) const {
        if (name == QLatin1String("IsStatusNotifierHostRegistered")) return true;
        if (name == QLatin1String("ProtocolVersion")) return 0;
        if (name == QLatin1String("RegisteredStatusNotifierItems")) return items;
        return {};
    }
};

QVariant itemProperty(const QString& item, const char* name) {
    const qsizetype slash = item.indexOf(QLatin1Char('/'));
    QDBusMessage call = QDBusMessage::createMethodCall(item.left(slash), item.mid(slash),
                                                       kProperties, QStringLiteral("Get"));
    call.setArguments({kItem, QString::fromLatin1(name)});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

// a(iiay): every image's size and bytes into one hash.
void hashImages(const QDBusArgument& arg, QCryptographicHash& hash) {
    arg.beginArray();
    while (!arg.atEnd()) {
        int w = 0, h = 0;
        QByteArray bytes;
        arg.beginStructure();
        arg >> w >> h >> bytes;
        arg.endStructure();
        hash.addData(QByteArray::number(w) + 'x' + QByteArray::number(h));
        hash.addData(bytes);
    }
    arg.endArray();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 120;
    QDBusConnection bus = QDBusConnection::sessionBus();
    Watcher watcher;
    if (!bus.registerVirtualObject(QStringLiteral("/StatusNotifierWatcher"), &watcher) ||
        !bus.registerService(kWatcher)) {
        std::fprintf(stderr, "cannot take %s\n", qPrintable(kWatcher));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    QHash<QString, QString> last;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (const QString& item : watcher.items) {
            QCryptographicHash hash(QCryptographicHash::Md5);
            const QVariant pixmaps = itemProperty(item, "IconPixmap");
            if (!pixmaps.isValid()) continue;
            hashImages(pixmaps.value<QDBusArgument>(), hash);
            QString title;
            const QVariant tip = itemProperty(item, "ToolTip");
            if (tip.canConvert<QDBusArgument>()) {
                const QDBusArgument a = tip.value<QDBusArgument>();
                QString iconName, text;
                QCryptographicHash ignored(QCryptographicHash::Md5);
                a.beginStructure();
                a >> iconName;
                hashImages(a, ignored);
                a >> title >> text;
                a.endStructure();
            }
            const QString line = QString::fromLatin1(hash.result().toHex()) + QLatin1Char(' ') +
                                 QString(title).replace(QLatin1Char('\n'), QLatin1String("\\n"));
            if (last.value(item) == line) continue;
            last.insert(item, line);
            std::printf("item %s %s\n", qPrintable(item), line.toUtf8().constData());
            std::fflush(stdout);
        }
    });
    poll.start(150);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
