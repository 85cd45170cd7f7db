#include "dialogs/HostEntryDialog.h"
#include "widgets/ExecModal.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "lang/Languages.h"
#include "translation/TranslateForm.h"
#include "widgets/ErrorBox.h"
#include "widgets/MaskEdit.h"
#include "widgets/ScreenFit.h"

namespace hv {

namespace {

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Keys that give a character in a line edit's key-press handler: printable text, Backspace,
// Enter, Esc and control-key combinations. Arrows, Delete and the like give none, nor does Tab:
// it moves the focus on before any edit sees it.
bool producesCharacter(const QKeyEvent& e) {
    switch (e.key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;
        case Qt::Key_Backspace:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return true;
        case Qt::Key_Delete:
            return false;
        default:
            break;
    }
    if ((e.modifiers() & Qt::ControlModifier) && e.key() >= Qt::Key_At &&
        e.key() <= Qt::Key_Underscore)
        return true;
    const QString text = e.text();
    return !text.isEmpty() && text.at(0) != QChar(0x7f);
}

struct ModeTexts {
    const char* caption;
    const char* label;
};

ModeTexts textsOf(HostEntryMode mode) {
    switch (mode) {
        case HostEntryMode::NewIP:
            return {"NewIP", "InputIP"};
        case HostEntryMode::NewHTTP:
            return {"NewHTTP", "InputHost"};
        case HostEntryMode::NewLAN:
            return {"NewLAN", "InputLAN"};
        case HostEntryMode::EditIP:
            return {"EditIP", "InputIP"};
        case HostEntryMode::EditHTTP:
            return {"EditHTTP", "InputHost"};
        case HostEntryMode::EditLAN:
            return {"EditLAN", "InputLAN"};
    }
    return {"", ""};
}

}  // namespace

HostEntryDialog::HostEntryDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAddHost"));
    setWindowTitle(QStringLiteral("frmAddHost"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
    ScreenFit::install(this);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(232, 182);

    // Created in the tab order: Cancel, OK, the masked field, the plain field, the title.
    btnCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    btnOK = named(new QPushButton(QStringLiteral("OK"), this), "btnOK");
    MaskEdit1 = named(new MaskEdit(this), "MaskEdit1");
    edHTTP = named(new QLineEdit(QStringLiteral("http://"), this), "edHTTP");
    lbTitle = named(new QLabel(QStringLiteral("Title"), this), "lbTitle");
    edTitle = named(new QLineEdit(this), "edTitle");
    lbHint = named(new QLabel(QStringLiteral("Input IP address of new host"), this), "lbHint");
    lbDependsOn = named(new QLabel(QStringLiteral("Depends on:"), this), "lbDependsOn");
    cbDependsOn = named(new QComboBox(this), "cbDependsOn");
    cbDependsOn->addItem(QStringLiteral("(none)"));
    lbDependsOn->setBuddy(cbDependsOn);
    setTabOrder(btnCancel, btnOK);
    setTabOrder(btnOK, MaskEdit1);
    setTabOrder(MaskEdit1, edHTTP);
    setTabOrder(edHTTP, edTitle);
    setTabOrder(edTitle, cbDependsOn);
    lbTitle->setBuddy(edTitle);

    lbTitle->setGeometry(8, 4, 216, 16);
    edTitle->setGeometry(8, 20, 216, 22);
    // Two lines: the label lists the forms the field takes (schemes, ports, IPv6).
    lbHint->setGeometry(8, 42, 216, 26);
    lbHint->setWordWrap(true);
    lbHint->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    MaskEdit1->setGeometry(8, 68, 216, 22);
    edHTTP->setGeometry(MaskEdit1->geometry());  // lies over the masked field
    lbDependsOn->setGeometry(8, 96, 216, 16);
    cbDependsOn->setGeometry(8, 112, 216, 22);
    btnOK->setGeometry(68, 148, 75, 25);
    btnCancel->setGeometry(149, 148, 75, 25);
    for (QPushButton* b : {btnOK, btnCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(kCancel); });
    connect(MaskEdit1, &QLineEdit::textChanged, this, [this] { maskEditChange(); });
    connect(edHTTP, &QLineEdit::textChanged, this, [this] { edHTTPChange(); });
    edTitle->installEventFilter(this);

    // formCreate.
    translateForm(this);
    updateAccessibleNames();
}

void HostEntryDialog::setMode(HostEntryMode mode, const Host& host) {
    m_mode = mode;
    const ModeTexts texts = textsOf(mode);
    setWindowTitle(langMessage(QString::fromLatin1(texts.caption)));
    lbHint->setText(langMessage(QString::fromLatin1(texts.label)));
    const bool masked = isIpMode(mode);
    // The masked field is hidden in every plain mode: it lies under edHTTP and must not take
    // the focus unseen.
    MaskEdit1->setVisible(masked);
    MaskEdit1->setEnabled(mode != HostEntryMode::NewLAN);
    edHTTP->setVisible(!masked);
    lbHint->setBuddy(masked ? static_cast<QWidget*>(MaskEdit1) : edHTTP);

    TitleFollowsAddress = false;
    switch (mode) {
        case HostEntryMode::NewIP:
            edTitle->clear();
            MaskEdit1->setShownText(QString());
            TitleFollowsAddress = true;
            break;
        case HostEntryMode::NewHTTP:
            edTitle->clear();
            edHTTP->setText(QStringLiteral("http://"));
            break;
        case HostEntryMode::NewLAN:
            edTitle->clear();
            edHTTP->setText(QStringLiteral("\\\\"));
            break;
        case HostEntryMode::EditIP:
            MaskEdit1->setShownText(padIpAddress(host.address));
            edTitle->setText(host.title);
            break;
        case HostEntryMode::EditHTTP:
        case HostEntryMode::EditLAN:
            edHTTP->setText(host.address);
            edTitle->setText(host.title);
            break;
    }
    updateAccessibleNames();
}

QString HostEntryDialog::hostLine() const {
    QString address;
    if (isIpMode(m_mode))
        address = MaskEdit1->address();
    else if (m_mode == HostEntryMode::NewLAN)
        address = trimBlanks(edHTTP->text());
    else
        address = edHTTP->text();
    return ::hv::hostLine(edTitle->text(), address);
}

QString HostEntryDialog::clashingTitle() const {
    // As the settings file compares its keys: blanks around them dropped, letter case aside.
    const QString title = trimBlanks(edTitle->text());
    if (title.isEmpty()) return {};
    for (const QString& other : otherTitles)
        if (trimBlanks(other).compare(title, Qt::CaseInsensitive) == 0) return other;
    return {};
}

void HostEntryDialog::btnOKClick() {
    const QString other = clashingTitle();
    if (other.isEmpty()) {
        done(kOk);
        return;
    }
    ErrorBox::show(langMessage(QStringLiteral("TitleTaken")).replace(QStringLiteral("%1"), other),
                   this);
    edTitle->setFocus(Qt::OtherFocusReason);
    edTitle->selectAll();
}

void HostEntryDialog::maskEditChange() {
    if (TitleFollowsAddress) edTitle->setText(MaskEdit1->valueText());
}

void HostEntryDialog::edHTTPChange() {
    if (TitleFollowsAddress) edTitle->setText(edHTTP->text());
}

void HostEntryDialog::edTitleKeyPress(const QKeyEvent& event) {
    if (producesCharacter(event)) TitleFollowsAddress = false;
}

void HostEntryDialog::updateAccessibleNames() {
    const auto plain = [](const QLabel* l) { return l->text().remove(QLatin1Char('&')); };
    edTitle->setAccessibleName(plain(lbTitle));
    MaskEdit1->setAccessibleName(plain(lbHint));
    edHTTP->setAccessibleName(plain(lbHint));
    cbDependsOn->setAccessibleName(plain(lbDependsOn));
    // Its drop-down list is announced by the label too.
    cbDependsOn->view()->setAccessibleName(plain(lbDependsOn));
}

void HostEntryDialog::setParentChoices(const QStringList& titles, const QString& current) {
    while (cbDependsOn->count() > 1) cbDependsOn->removeItem(cbDependsOn->count() - 1);
    for (const QString& title : titles) cbDependsOn->addItem(title, title);
    if (current.trimmed().isEmpty()) {
        cbDependsOn->setCurrentIndex(0);
        return;
    }
    int line = -1;
    for (int i = 1; i < cbDependsOn->count() && line < 0; ++i) {
        if (cbDependsOn->itemData(i).toString().trimmed().compare(current.trimmed(),
                                                                  Qt::CaseInsensitive) == 0)
            line = i;
    }
    // A line naming no host of the list stays as it is unless the user picks another.
    if (line < 0) {
        cbDependsOn->addItem(current, current);
        line = cbDependsOn->count() - 1;
    }
    cbDependsOn->setCurrentIndex(line);
}

QString HostEntryDialog::dependsOn() const {
    return cbDependsOn->currentIndex() <= 0 ? QString() : cbDependsOn->currentData().toString();
}

bool HostEntryDialog::eventFilter(QObject* watched, QEvent* event) {
    // Cleared before the character reaches the title.
    if (watched == edTitle && event->type() == QEvent::KeyPress)
        edTitleKeyPress(*static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

void HostEntryDialog::reject() { done(kCancel); }

void HostEntryDialog::keyPressEvent(QKeyEvent* event) {
    if (!swallowCloseKeys(event)) QDialog::keyPressEvent(event);
}

void HostEntryDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    btnCancel->setFocus(Qt::OtherFocusReason);
}

}  // namespace hv
