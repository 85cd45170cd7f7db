#include "shell/CheckLanguage.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QSet>
#include <QWidget>

#include "dialogs/HostEntryDialog.h"
#include "dialogs/SettingsDialog.h"
#include "lang/FormKey.h"
#include "lang/LanguageFile.h"
#include "lang/Languages.h"
#include "platform/ProgramFiles.h"
#include "shell/MainWindow.h"
#include "translation/FormTranslator.h"
#include "translation/WidgetProperties.h"
#include "views/AboutWindow.h"
#include "views/HistoryWindow.h"
#include "views/LogWindow.h"
#include "views/StateWindow.h"

namespace hv {

namespace {

using Kind = WidgetProperties::Kind;

bool hasLetter(const QString& text) {
    for (QChar c : text)
        if (c.isLetter()) return true;
    return false;
}

// One text of a window that a language file should name.
struct Required {
    QObject* target;
    QString property;  // "Caption", "Hint", "Items", "Columns"
    int line;          // -1: the whole value
    QString key;       // the key that would name it
    QString designed;
};

QString quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

QList<Required> requiredTexts(QWidget* window, const QStringList& builtAtRunTime) {
    QList<Required> out;
    const auto skip = [&](QObject* o) {
        for (const QString& name : builtAtRunTime)
            if (o->objectName().compare(name, Qt::CaseInsensitive) == 0) return true;
        return false;
    };
    QList<QObject*> objects{window};
    QSet<QObject*> seen;
    for (QObject* o : WidgetProperties::components(window)) {
        if (auto* menu = qobject_cast<QMenu*>(o);
            menu && menu->menuAction()->objectName() == menu->objectName())
            o = menu->menuAction();
        objects.append(o);
    }
    for (QObject* o : objects) {
        if (seen.contains(o) || skip(o)) continue;
        seen.insert(o);
        const Kind kind = WidgetProperties::kindOf(o, window);
        const QString name = o == window ? QString() : o->objectName();
        const char* def = WidgetProperties::defaultProperty(kind);
        for (const char* property : {"Caption", "Hint", "Items", "Columns"}) {
            const WidgetProperties::Property* p =
                WidgetProperties::find(kind, QLatin1String(property));
            if (!p) continue;
            const QVariant value = p->get(o);
            if (p->type == PropertyValue::Type::StringList) {
                const QStringList lines = value.toStringList();
                for (int n = 0; n < lines.size(); ++n)
                    if (hasLetter(lines[n]))
                        out.append({o, QLatin1String(p->name), n,
                                    QStringLiteral("%1.%2(%3)").arg(name).arg(p->name).arg(n),
                                    lines[n]});
            } else if (hasLetter(value.toString())) {
                QString key;
                if (o == window)
                    key = QLatin1String(p->name);
                else if (def && qstrcmp(def, p->name) == 0)
                    key = name;
                else
                    key = name + QLatin1Char('.') + QLatin1String(p->name);
                out.append({o, QLatin1String(p->name), -1, key, value.toString()});
            }
        }
    }
    return out;
}

QString sectionLine(const QString& section, const QString& key, const QString& what) {
    return QStringLiteral("[%1] %2: %3").arg(section, key, what);
}

}  // namespace

const QList<CheckLanguage::Window>& CheckLanguage::windows() {
    static const QList<Window> list = {
        {QStringLiteral("frmMain"),
         [] {
             MainWindow::Options options;
             options.trayIcon = false;
             options.brokenFilesMessage = [] {};
             return std::unique_ptr<QWidget>(std::make_unique<MainWindow>(options));
         },
         // The Start/Stop and Table captions come from [Messages]; the report is built.
         {QStringLiteral("frmMain"), QStringLiteral("miStart"), QStringLiteral("miTable"),
          QStringLiteral("memReport")}},
        {QStringLiteral("frmLog"), [] { return std::unique_ptr<QWidget>(new LogWindow); }, {}},
        {QStringLiteral("frmState"),
         [] { return std::unique_ptr<QWidget>(new StateWindow); },
         {QStringLiteral("plItemsCount")}},
        {QStringLiteral("frmSettings"),
         [] { return std::unique_ptr<QWidget>(new SettingsDialog(nullptr)); },
         {QStringLiteral("lbxHosts"), QStringLiteral("cbLang")}},
        // Windows of other parts of the program add their line here.
        {QStringLiteral("frmAddHost"),
         [] { return std::unique_ptr<QWidget>(new HostEntryDialog(nullptr)); },
         {QStringLiteral("frmAddHost"), QStringLiteral("lbHint")}},
        {QStringLiteral("frmHistory"),
         [] { return std::unique_ptr<QWidget>(new HistoryWindow(QString(), QString(), {})); },
         {QStringLiteral("frmHistory"), QStringLiteral("lbSummary"), QStringLiteral("lbPoint"),
          QStringLiteral("lbNotice")}},
        {QStringLiteral("frmAbout"),
         [] { return std::unique_ptr<QWidget>(new AboutWindow(nullptr, nullptr)); },
         {QStringLiteral("lbProgName"), QStringLiteral("lbVer"), QStringLiteral("Label6"),
          QStringLiteral("Label9"), QStringLiteral("lbInfo2")}},
    };
    return list;
}

QStringList CheckLanguage::problems(const QString& path, const QList<Window>& windows) {
    QStringList out;
    const IniFile file = LanguageFile::read(path);
    const QString messages = QStringLiteral("Messages");

    // Messages: what the program asks for, and nothing else.
    const QStringList asked = Languages::messageKeys();
    QSet<QString> given;
    for (const QString& key : file.keys(messages)) {
        given.insert(key.toLower());
        bool known = false;
        for (const QString& k : asked) known = known || k.compare(key, Qt::CaseInsensitive) == 0;
        if (!known)
            out << sectionLine(messages, key,
                               QStringLiteral("the program never asks for "
                                              "this message"));
    }
    for (const QString& key : asked)
        if (!given.contains(key.toLower()))
            out << sectionLine(messages, key, QStringLiteral("missing"));

    // Sections that nothing reads.
    for (const QString& section : file.sections()) {
        bool known = section.compare(messages, Qt::CaseInsensitive) == 0;
        for (const Window& w : windows)
            known = known || w.name.compare(section, Qt::CaseInsensitive) == 0;
        if (!known) out << QStringLiteral("[%1]: no window reads this section").arg(section);
    }

    for (const Window& w : windows) {
        if (!w.create) continue;  // not in this build
        const std::unique_ptr<QWidget> window = w.create();
        const QString section = FormKey::sectionName(window->objectName());
        const QList<Required> required = requiredTexts(window.get(), w.builtAtRunTime);
        QSet<QString> done;  // "object|property|line" set by some key
        const auto id = [](const QObject* o, const QString& p, int line) {
            return QStringLiteral("%1|%2|%3").arg(quintptr(o)).arg(p.toLower()).arg(line);
        };
        for (const FormTranslator::Outcome& o : FormTranslator::apply(window.get(), file)) {
            if (!o.applied) {
                out << sectionLine(section, o.key, o.problem);
                continue;
            }
            done.insert(id(o.target, o.property, o.line));
        }
        for (const Required& r : required) {
            if (done.contains(id(r.target, r.property, -1)) ||
                (r.line >= 0 && done.contains(id(r.target, r.property, r.line))))
                continue;
            out << sectionLine(
                section, r.key,
                QStringLiteral("missing (designed text %1)").arg(quoted(r.designed)));
        }
    }
    return out;
}

int CheckLanguage::run(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    if (arguments.size() != 2 || arguments[0] != QLatin1String("--check-language")) {
        std::fputs("Usage: hostvane --check-language FILE\n", err);
        return 2;
    }
    const QString path = arguments[1];
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        std::fprintf(err, "hostvane: cannot read %s\n", qPrintable(path));
        return 2;
    }
    bool latin1 = false;
    LanguageFile::read(path, &latin1);
    if (latin1)
        std::fprintf(err, "hostvane: %s is not valid UTF-8; it is read as Latin-1\n",
                     qPrintable(path));
    const QStringList lines = problems(path, windows());
    for (const QString& line : lines) std::fprintf(out, "%s\n", line.toUtf8().constData());
    std::fflush(out);
    return lines.isEmpty() ? 0 : 1;
}

int CheckLanguage::main(int argc, char** argv) {
    // Nothing is shown: the windows are built only to be looked at.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Languages::instance().setExecutable(ProgramFiles::executablePath());
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return run(arguments, stdout, stderr);
}

}  // namespace hv
