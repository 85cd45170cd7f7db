#include "dialogs/SettingsDialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <tuple>

#include "dialogs/HostEntryDialog.h"
#include "dialogs/ReportFontQt.h"
#include "lang/Languages.h"
#include "translation/TranslateForm.h"
#include "widgets/DropDownComboBox.h"
#include "widgets/ExecModal.h"
#include "widgets/HelpContext.h"
#include "widgets/ScreenFit.h"
#include "widgets/SpinEdit.h"

namespace hv {

namespace {

constexpr int kHelpContextHosts = 3;

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* b = named(new QPushButton(text, parent), name);
    // Enter must not close the dialog: no button is a default one.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QFrame* rule(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// Every page is one group box that fills it.
QGroupBox* page(QStackedWidget* book, const QString& title, const char* name) {
    auto* holder = new QWidget(book);
    auto* box = named(new QGroupBox(title, holder), name);
    auto* lay = new QVBoxLayout(holder);
    lay->setContentsMargins(4, 0, 0, 0);
    lay->addWidget(box);
    book->addWidget(holder);
    return box;
}

}  // namespace

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(435, 325);
    ScreenFit::install(this);
    setSizeGripEnabled(false);

    lbSettings = named(new QListWidget(this), "lbSettings");
    lbSettings->addItems({QStringLiteral("Host list"), QStringLiteral("General"),
                          QStringLiteral("Check parametrs"), QStringLiteral("View"),
                          QStringLiteral("Languages")});
    lbSettings->setFixedWidth(121);
    setHelpContext(lbSettings, kHelpContextHosts);

    pages = named(new QStackedWidget(this), "Notebook1");

    // Page 0: the host list.
    gbHostList = page(pages, QStringLiteral("Host list"), "gbHostList");
    setHelpContext(gbHostList, kHelpContextHosts);
    lbxHosts = named(new QListWidget(gbHostList), "lbxHosts");
    lbxHosts->setSortingEnabled(false);
    btnAddIP = button(QStringLiteral("Add IP"), "btnAddIP", gbHostList);
    btnAddIP->setToolTip(QStringLiteral("Add IP address"));
    btnAddHTTP = button(QStringLiteral("Add HTTP"), "btnAddHTTP", gbHostList);
    btnAddHTTP->setToolTip(QStringLiteral("Add HTTP server"));
    btnAddLan = button(QStringLiteral("Add LAN"), "btnAddLan", gbHostList);
    btnAddLan->setToolTip(QStringLiteral("Add LAN address"));
    btnEdit = button(QStringLiteral("Edit"), "btnEdit", gbHostList);
    btnEdit->setToolTip(QStringLiteral("Edit selected host"));
    btnDelete = button(QStringLiteral("Delete"), "btnDelete", gbHostList);
    btnDelete->setToolTip(QStringLiteral("Delete selected host"));
    {
        auto* buttons = new QVBoxLayout;
        for (QWidget* w : {static_cast<QWidget*>(lbxHosts), static_cast<QWidget*>(btnAddIP),
                           static_cast<QWidget*>(btnAddHTTP), static_cast<QWidget*>(btnAddLan),
                           static_cast<QWidget*>(btnEdit), static_cast<QWidget*>(btnDelete)})
            setHelpContext(w, kHelpContextHosts);
        buttons->addWidget(btnAddIP);
        buttons->addWidget(btnAddHTTP);
        buttons->addWidget(btnAddLan);
        buttons->addSpacing(8);
        buttons->addWidget(btnEdit);
        buttons->addWidget(btnDelete);
        buttons->addStretch();
        auto* lay = new QHBoxLayout(gbHostList);
        lay->addWidget(lbxHosts, 1);
        lay->addLayout(buttons);
    }

    // Page 1: general.
    generalGroup = page(pages, QStringLiteral("Genaral"), "gbGenaral");
    lbAutorun = named(new QLabel(QStringLiteral("Autorun"), generalGroup), "lbAutorun");
    cbAutorun =
        named(new QCheckBox(QStringLiteral("Run application on Windows load"), generalGroup),
              "cbAutorun");
    lbMetricsListen =
        named(new QLabel(QStringLiteral("Serve metrics on:"), generalGroup), "lbMetricsListen");
    edMetricsListen = named(new QLineEdit(generalGroup), "edMetricsListen");
    edMetricsListen->setPlaceholderText(QStringLiteral("127.0.0.1:9860"));
    edMetricsListen->setToolTip(QStringLiteral(
        "Address and port for Prometheus to read the hosts' state from, as 127.0.0.1:9860 or "
        "[::1]:9860 (empty: none)"));
    {
        auto* heading = new QHBoxLayout;
        heading->addWidget(rule(generalGroup), 1);
        heading->addWidget(lbAutorun);
        heading->addWidget(rule(generalGroup), 4);
        auto* lay = new QVBoxLayout(generalGroup);
        lay->addLayout(heading);
        lay->addWidget(cbAutorun);
        lay->addSpacing(8);
        lay->addWidget(lbMetricsListen);
        lay->addWidget(edMetricsListen);
        lay->addStretch();
    }

    // Page 2: check parameters.
    gbCheckParams = page(pages, QStringLiteral("Check parametrs"), "gbCheckParams");
    lbPopUpDelay =
        named(new QLabel(QStringLiteral("Pop-up window delay, ms"), gbCheckParams), "lbPopUpDelay");
    sePopUpInt = named(new SpinEdit(gbCheckParams), "sePopUpInt");
    sePopUpInt->setToolTip(QStringLiteral("Pop-up window will be shown..., s"));
    lbCheckInterval =
        named(new QLabel(QStringLiteral("Check period, ms"), gbCheckParams), "lbCheckInterval");
    seCheckPeriod = named(new SpinEdit(gbCheckParams), "seCheckPeriod");
    // Its hint is kept for translation but not shown.
    seCheckPeriod->setProperty("hint",
                               QStringLiteral("Time interval between check of hosts state"));
    lbParallelChecks = named(new QLabel(QStringLiteral("Hosts checked at once"), gbCheckParams),
                             "lbParallelChecks");
    seParallelChecks = named(new SpinEdit(gbCheckParams), "seParallelChecks");
    seParallelChecks->setToolTip(
        QStringLiteral("How many hosts a pass checks at the same time (1: one after another)"));
    lbIpVersion =
        named(new QLabel(QStringLiteral("Names resolve to"), gbCheckParams), "lbIpVersion");
    cbIpVersion = named(new QComboBox(gbCheckParams), "cbIpVersion");
    // Each line carries the [CheckParams] IpVersion value it stands for.
    cbIpVersion->addItem(QStringLiteral("IPv4 addresses"), 4);
    cbIpVersion->addItem(QStringLiteral("IPv6 addresses"), 6);
    cbIpVersion->addItem(QStringLiteral("either, the first the system gives"), 0);
    cbIpVersion->setToolTip(QStringLiteral(
        "The address family a host name is checked in; addresses are checked in their own"));
    lbLostAfter = named(new QLabel(QStringLiteral("Report lost after, passes"), gbCheckParams),
                        "lbLostAfter");
    seLostAfter = named(new SpinEdit(gbCheckParams), "seLostAfter");
    seLostAfter->setToolTip(
        QStringLiteral("Passes in a row a host must fail before it is reported lost (1 to 100)"));
    lbAppearedAfter =
        named(new QLabel(QStringLiteral("Report appeared after, passes"), gbCheckParams),
              "lbAppearedAfter");
    seAppearedAfter = named(new SpinEdit(gbCheckParams), "seAppearedAfter");
    seAppearedAfter->setToolTip(QStringLiteral(
        "Passes in a row a host must answer before it is reported appeared (1 to 100)"));
    lbKeepDays =
        named(new QLabel(QStringLiteral("Keep history, days"), gbCheckParams), "lbKeepDays");
    seKeepDays = named(new SpinEdit(gbCheckParams), "seKeepDays");
    seKeepDays->setToolTip(
        QStringLiteral("Days the check history (history.sqlite) keeps every check; 0 keeps none "
                       "and writes no file (0 to 3650)"));
    lbStatsMinutes = named(new QLabel(QStringLiteral("Statistics over, minutes"), gbCheckParams),
                           "lbStatsMinutes");
    seStatsMinutes = named(new SpinEdit(gbCheckParams), "seStatsMinutes");
    seStatsMinutes->setToolTip(QStringLiteral(
        "Minutes the state table's Min, Avg, Max, Jitter and Loss columns cover (1 to 1440)"));
    {
        auto* lay = new QVBoxLayout(gbCheckParams);
        lay->addWidget(lbPopUpDelay);
        lay->addWidget(sePopUpInt);
        lay->addSpacing(8);
        lay->addWidget(lbCheckInterval);
        lay->addWidget(seCheckPeriod);
        lay->addSpacing(8);
        lay->addWidget(lbParallelChecks);
        lay->addWidget(seParallelChecks);
        lay->addSpacing(8);
        lay->addWidget(lbIpVersion);
        lay->addWidget(cbIpVersion);
        lay->addSpacing(8);
        lay->addWidget(lbLostAfter);
        lay->addWidget(seLostAfter);
        lay->addSpacing(8);
        lay->addWidget(lbAppearedAfter);
        lay->addWidget(seAppearedAfter);
        lay->addSpacing(8);
        lay->addWidget(lbKeepDays);
        lay->addWidget(seKeepDays);
        lay->addSpacing(8);
        lay->addWidget(lbStatsMinutes);
        lay->addWidget(seStatsMinutes);
        lay->addStretch();
    }

    // Page 3: view.
    gbView = page(pages, QStringLiteral("View"), "gbView");
    btnFontInPopUp = button(QStringLiteral("Font in pop-up window"), "btnFontInPopUp", gbView);
    fontDialog = named(new QFontDialog(this), "FontDialog1");
    lbPopUpStyle = named(new QLabel(QStringLiteral("Show changes in"), gbView), "lbPopUpStyle");
    cbPopUpStyle = named(new QComboBox(gbView), "cbPopUpStyle");
    cbPopUpStyle->addItems({QStringLiteral("the pop-up window"),
                            QStringLiteral("the desktop's notifications"), QStringLiteral("both")});
    cbTrayStatus =
        named(new QCheckBox(QStringLiteral("Show the hosts' state on the tray icon"), gbView),
              "cbTrayStatus");
    {
        auto* lay = new QVBoxLayout(gbView);
        lay->addWidget(btnFontInPopUp);
        lay->addSpacing(8);
        lay->addWidget(lbPopUpStyle);
        lay->addWidget(cbPopUpStyle);
        lay->addSpacing(8);
        lay->addWidget(cbTrayStatus);
        lay->addStretch();
    }
    connect(btnFontInPopUp, &QPushButton::clicked, this, [this] { btnFontInPopUpClick(); });

    // Page 4: languages.
    gbLanguages = page(pages, QStringLiteral("Languages"), "gbLanguages");
    lbSelectLang =
        named(new QLabel(QStringLiteral("Select language"), gbLanguages), "lbSelectLang");
    cbLang = named(new DropDownComboBox(gbLanguages), "cbLang");
    cbLang->setEditable(true);
    cbLang->setInsertPolicy(QComboBox::NoInsert);
    {
        auto* lay = new QVBoxLayout(gbLanguages);
        lay->addWidget(lbSelectLang);
        lay->addWidget(cbLang);
        lay->addStretch();
    }

    // The bottom strip: Help, Cancel, OK, right-aligned.
    auto* strip = named(new QWidget(this), "plButtons");
    strip->setFixedHeight(27);
    setHelpContext(strip, kHelpContextHosts);
    btnHelp = button(QStringLiteral("Help"), "btnHelp", strip);
    btnCancel = button(QStringLiteral("Cancel"), "btnCancel", strip);
    btnOK = button(QStringLiteral("OK"), "btnOK", strip);
    {
        auto* lay = new QHBoxLayout(strip);
        lay->setContentsMargins(0, 0, 4, 2);
        lay->addStretch();
        for (QPushButton* b : {btnHelp, btnCancel, btnOK}) {
            setHelpContext(b, kHelpContextHosts);
            b->setFixedSize(75, 25);
            lay->addWidget(b);
        }
    }
    connect(btnOK, &QPushButton::clicked, this, [this] { done(kOk); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(kCancel); });

    auto* top = new QHBoxLayout;
    top->setContentsMargins(4, 4, 4, 0);
    top->addWidget(lbSettings);
    top->addWidget(pages, 1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(2);
    outer->addLayout(top, 1);
    outer->addWidget(strip);

    connect(lbSettings, &QListWidget::itemSelectionChanged, this, [this] { lbSettingsClick(); });
    connect(btnAddIP, &QPushButton::clicked, this, [this] { btnAddIPClick(); });
    connect(btnAddHTTP, &QPushButton::clicked, this, [this] { btnAddHTTPClick(); });
    connect(btnAddLan, &QPushButton::clicked, this, [this] { btnAddLanClick(); });
    connect(btnEdit, &QPushButton::clicked, this, [this] { btnEditClick(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { btnHelpClick(); });
    connect(cbLang, &DropDownComboBox::dropDown, this, [this] { cbLangDropDown(); });
    connect(cbLang, &QComboBox::editTextChanged, this, [this] { cbLangChange(); });
    lbPopUpDelay->setBuddy(sePopUpInt);
    lbCheckInterval->setBuddy(seCheckPeriod);
    lbParallelChecks->setBuddy(seParallelChecks);
    lbIpVersion->setBuddy(cbIpVersion);
    lbLostAfter->setBuddy(seLostAfter);
    lbAppearedAfter->setBuddy(seAppearedAfter);
    lbMetricsListen->setBuddy(edMetricsListen);
    lbKeepDays->setBuddy(seKeepDays);
    lbStatsMinutes->setBuddy(seStatsMinutes);
    lbPopUpStyle->setBuddy(cbPopUpStyle);
    lbSelectLang->setBuddy(cbLang);
    pages->setCurrentIndex(0);
    m_chosenFont = fontDialog->currentFont();

    // formCreate.
    translateForm(this);
    updateAccessibleNames();
}

void SettingsDialog::fill(const Settings& settings, bool autorun) {
    pages->setCurrentIndex(0);
    lbSettings->setCurrentRow(0);
    lbxHosts->clear();
    m_dependencies = settings.dependencies;
    for (const auto& [title, address] : settings.hostEntries)
        lbxHosts->addItem(hostLine(title, address));
    cbAutorun->setChecked(autorun);
    setFontChoice(toQFont(settings.font), fromColorRef(settings.font.color));
    for (const SettingsKey& row : settingsKeys()) {
        if (row.control.isEmpty()) continue;
        QWidget* control = findChild<QWidget*>(row.control);
        const QVariant value = row.get(settings);
        if (auto* spin = qobject_cast<SpinEdit*>(control)) {
            spin->setSpinValue(value.toInt());
        } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
            box->setChecked(value.toInt() != 0);
        } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->setText(value.toString());
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            // Text: the language box's own text. Lines with data stand for their data (a value
            // no line has shows the default's); otherwise line n stands for the value n.
            if (row.type == SettingType::Text) {
                combo->setEditText(value.toString());
            } else if (combo->itemData(0).isValid()) {
                const int line = combo->findData(value.toInt());
                combo->setCurrentIndex(line >= 0 ? line
                                                 : combo->findData(row.defaultValue.toInt()));
            } else {
                combo->setCurrentIndex(value.toInt());
            }
        } else {
            qWarning("settings dialog: no control %s for [%s] %s", qPrintable(row.control),
                     qPrintable(row.section), qPrintable(row.key));
        }
    }
}

void SettingsDialog::apply(Settings& settings) const {
    settings.hostEntries.clear();
    for (int i = 0; i < lbxHosts->count(); ++i) {
        const Host host = splitHostLine(lbxHosts->item(i)->text());
        settings.hostEntries.append({host.title, host.address});
    }
    settings.dependencies = m_dependencies;
    settings.font = toReportFont(m_chosenFont, fontDialogColor);
    for (const SettingsKey& row : settingsKeys()) {
        if (row.control.isEmpty()) continue;
        const QWidget* control = findChild<QWidget*>(row.control);
        if (const auto* spin = qobject_cast<const SpinEdit*>(control)) {
            row.set(settings, row.clamp(spin->spinValue()));
        } else if (const auto* box = qobject_cast<const QCheckBox*>(control)) {
            if (row.type == SettingType::Boolean)
                row.set(settings, box->isChecked());
            else
                row.set(settings, row.clamp(box->isChecked() ? 1 : 0));
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
            row.set(settings, edit->text().trimmed());
        } else if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
            if (row.type == SettingType::Text)
                row.set(settings, combo->currentText());
            else if (combo->itemData(0).isValid())
                row.set(settings, row.clamp(combo->currentData().toInt()));
            else
                row.set(settings, row.clamp(combo->currentIndex()));
        }
    }
}

void SettingsDialog::updateAccessibleNames() {
    const auto plain = [](QString text) { return text.remove(QLatin1Char('&')); };
    lbSettings->setAccessibleName(plain(windowTitle()));
    lbxHosts->setAccessibleName(plain(gbHostList->title()));
    sePopUpInt->setAccessibleName(plain(lbPopUpDelay->text()));
    seCheckPeriod->setAccessibleName(plain(lbCheckInterval->text()));
    seParallelChecks->setAccessibleName(plain(lbParallelChecks->text()));
    cbIpVersion->setAccessibleName(plain(lbIpVersion->text()));
    cbIpVersion->view()->setAccessibleName(plain(lbIpVersion->text()));
    seLostAfter->setAccessibleName(plain(lbLostAfter->text()));
    seAppearedAfter->setAccessibleName(plain(lbAppearedAfter->text()));
    seKeepDays->setAccessibleName(plain(lbKeepDays->text()));
    seStatsMinutes->setAccessibleName(plain(lbStatsMinutes->text()));
    cbPopUpStyle->setAccessibleName(plain(lbPopUpStyle->text()));
    cbPopUpStyle->view()->setAccessibleName(plain(lbPopUpStyle->text()));
    cbTrayStatus->setAccessibleName(plain(cbTrayStatus->text()));
    edMetricsListen->setAccessibleName(plain(lbMetricsListen->text()));
    cbLang->setAccessibleName(plain(lbSelectLang->text()));
    // The combo box's own field and list are announced by the label too.
    cbLang->lineEdit()->setAccessibleName(plain(lbSelectLang->text()));
    cbLang->view()->setAccessibleName(plain(lbSelectLang->text()));
}

int SettingsDialog::runHostDialog(HostEntryDialog& dialog) {
    return runAddHost ? runAddHost(dialog) : execModal(dialog);
}

QStringList SettingsDialog::hostTitles(int exceptRow) const {
    QStringList titles;
    for (int i = 0; i < lbxHosts->count(); ++i)
        if (i != exceptRow) titles << splitHostLine(lbxHosts->item(i)->text()).title;
    return titles;
}

void SettingsDialog::addHost(int mode) {
    HostEntryDialog dialog(this);
    dialog.setMode(static_cast<HostEntryMode>(mode));
    dialog.otherTitles = hostTitles(-1);
    dialog.setParentChoices(dialog.otherTitles, {});
    if (runHostDialog(dialog) != HostEntryDialog::kOk) return;
    lbxHosts->addItem(dialog.hostLine());
    const QString title = splitHostLine(dialog.hostLine()).title;
    if (!dialog.dependsOn().isEmpty()) setParentIn(m_dependencies, title, dialog.dependsOn());
}

void SettingsDialog::btnAddIPClick() { addHost(static_cast<int>(HostEntryMode::NewIP)); }
void SettingsDialog::btnAddHTTPClick() { addHost(static_cast<int>(HostEntryMode::NewHTTP)); }
void SettingsDialog::btnAddLanClick() { addHost(static_cast<int>(HostEntryMode::NewLAN)); }

void SettingsDialog::btnEditClick() {
    const QList<QListWidgetItem*> selected = lbxHosts->selectedItems();
    if (selected.isEmpty()) return;
    QListWidgetItem* item = selected.first();
    const EditTarget target = editTargetOfLine(item->text());
    HostEntryDialog dialog(this);
    dialog.setMode(target.mode, target.host);
    dialog.otherTitles = hostTitles(lbxHosts->row(item));
    dialog.setParentChoices(dialog.otherTitles, parentIn(m_dependencies, target.host.title));
    if (runHostDialog(dialog) != HostEntryDialog::kOk) return;
    item->setText(dialog.hostLine());
    // Its dependents keep pointing at it under its new title.
    const QString title = splitHostLine(dialog.hostLine()).title;
    renameIn(m_dependencies, target.host.title, title);
    setParentIn(m_dependencies, title, dialog.dependsOn());
}

void SettingsDialog::btnDeleteClick() {
    const QList<QListWidgetItem*> selected = lbxHosts->selectedItems();
    if (selected.isEmpty()) return;
    dropIn(m_dependencies, splitHostLine(selected.first()->text()).title);
    delete lbxHosts->takeItem(lbxHosts->row(selected.first()));
    if (lbxHosts->count() > 0)
        lbxHosts->setCurrentRow(0);
    else
        lbxHosts->clearSelection();
}

void SettingsDialog::cbLangDropDown() {
    // The list is filled afresh; the text stays as it is and is no change of language.
    const QString text = cbLang->currentText();
    const QSignalBlocker block(cbLang);
    cbLang->clear();
    cbLang->addItems(Languages::instance().listLanguages());
    cbLang->setCurrentIndex(cbLang->findText(text));
    cbLang->setEditText(text);
}

void SettingsDialog::cbLangChange() {
    // Filling the box with the language in use (as opening the dialog does) changes nothing:
    // every window shows that language already.
    const QString name = cbLang->currentText();
    if (name == Languages::instance().currentLanguage()) return;
    Languages::instance().setCurrentLanguage(name);
    translateForm(this);  // not among the windows of translateAllForms
    Languages::instance().translateAllForms();
    updateAccessibleNames();
}

void SettingsDialog::btnHelpClick() {
    // Help opens at the context of the focused control: this button's.
    btnHelp->setFocus(Qt::OtherFocusReason);
    pressF1();
}

void SettingsDialog::setFontChoice(const QFont& font, const QColor& color) {
    m_chosenFont = font;
    fontDialog->setCurrentFont(font);
    fontDialogColor = color;
    btnFontInPopUp->setFont(font);
    QPalette pal = btnFontInPopUp->palette();
    pal.setColor(QPalette::ButtonText, color);
    btnFontInPopUp->setPalette(pal);
}

void SettingsDialog::lbSettingsClick() {
    const int row = lbSettings->currentRow();
    if (row < 0 || lbSettings->selectedItems().isEmpty()) return;
    pages->setCurrentIndex(row);
}

void SettingsDialog::btnFontInPopUpClick() {
    QFont current = m_chosenFont;
    QColor color = fontDialogColor;
    if (reportFont) std::tie(current, color) = reportFont();
    // Named by the style the font database knows it by, so that the dialog opens on that
    // style and not on the first one it lists (a regular face would come back oblique).
    QFont shown = current;
    if (shown.styleName().isEmpty()) shown.setStyleName(QFontInfo(current).styleName());
    fontDialog->setCurrentFont(shown);
    if (execModal(*fontDialog) != QDialog::Accepted) {
        // Only a confirmed dialog chooses: what was browsed and cancelled is forgotten.
        fontDialog->setCurrentFont(m_chosenFont);
        return;
    }
    QFont picked = fontDialog->selectedFont();
    // The dialog may hand back a stand-in of the same face (another style name, a family it
    // lacks): a font the user left alone stays exactly ours.
    if (picked.family() == current.family() && picked.pointSize() == current.pointSize() &&
        picked.bold() == current.bold() && picked.italic() == current.italic())
        picked = current;
    QColorDialog colors(color, this);
    colors.setObjectName(QStringLiteral("ColorDialog1"));
    colors.setWindowTitle(QStringLiteral("Font colour"));
    if (execModal(colors) == QDialog::Accepted && colors.selectedColor().isValid())
        color = colors.selectedColor();
    setFontChoice(picked, color);
    if (setReportFont) setReportFont(picked, color);
}

void SettingsDialog::reject() { done(kCancel); }

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
    if (!swallowCloseKeys(event)) QDialog::keyPressEvent(event);
}

}  // namespace hv
