#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QPair>
#include <functional>

#include "hosts/Settings.h"
#include "widgets/DropDownComboBox.h"

class QCheckBox;
class QFontDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace hv {

class SpinEdit;
class HostEntryDialog;

// The settings dialog: a page list on the left, five pages, Help / Cancel / OK at the bottom.
// The controller fills it, runs it modally and takes the values over on result 1 (OK); Cancel
// and the title bar's close give 2. Neither Enter nor Esc closes it.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    enum Result { kOk = 1, kCancel = 2 };

    explicit SettingsDialog(QWidget* parent = nullptr);

    // Shows these settings: page 0, the host lines, the autorun box, the font choice, and every
    // key whose row in the settings table names a control of this dialog.
    void fill(const Settings& settings, bool autorun);
    // Hands back what the dialog holds now: the host lines as entries, the font as last given
    // or confirmed, and every key shown by a control (brought into its row's bounds); the
    // other fields stay as they are. The autorun box is read as cbAutorun.
    void apply(Settings& settings) const;

    QListWidget* lbSettings = nullptr;
    QStackedWidget* pages = nullptr;
    QPushButton* btnHelp = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnOK = nullptr;

    QGroupBox* gbHostList = nullptr;
    QListWidget* lbxHosts = nullptr;
    QPushButton* btnAddIP = nullptr;
    QPushButton* btnAddHTTP = nullptr;
    QPushButton* btnAddLan = nullptr;
    QPushButton* btnEdit = nullptr;
    QPushButton* btnDelete = nullptr;

    QGroupBox* generalGroup = nullptr;
    QLabel* lbAutorun = nullptr;
    QCheckBox* cbAutorun = nullptr;
    QLabel* lbMetricsListen = nullptr;
    QLineEdit* edMetricsListen = nullptr;  // [Metrics] Listen

    QGroupBox* gbCheckParams = nullptr;
    QLabel* lbPopUpDelay = nullptr;
    SpinEdit* sePopUpInt = nullptr;
    QLabel* lbCheckInterval = nullptr;
    SpinEdit* seCheckPeriod = nullptr;
    QLabel* lbParallelChecks = nullptr;
    SpinEdit* seParallelChecks = nullptr;  // hosts a pass checks at once
    QLabel* lbIpVersion = nullptr;
    QComboBox* cbIpVersion = nullptr;  // the family names resolve in
    QLabel* lbLostAfter = nullptr;
    SpinEdit* seLostAfter = nullptr;  // failed passes in a row before "lost"
    QLabel* lbAppearedAfter = nullptr;
    SpinEdit* seAppearedAfter = nullptr;  // answering passes in a row before "appeared"
    QLabel* lbKeepDays = nullptr;
    SpinEdit* seKeepDays = nullptr;  // [History] KeepDays
    QLabel* lbStatsMinutes = nullptr;
    SpinEdit* seStatsMinutes = nullptr;  // minutes the state table's statistics cover

    QGroupBox* gbView = nullptr;
    QPushButton* btnFontInPopUp = nullptr;
    QLabel* lbPopUpStyle = nullptr;
    QComboBox* cbPopUpStyle = nullptr;  // line n: [View] PopUpStyle n
    QCheckBox* cbTrayStatus = nullptr;  // [View] TrayStatus
    QFontDialog* fontDialog = nullptr;
    // The colour that goes with fontDialog's font (the font dialog itself has none).
    QColor fontDialogColor = Qt::black;

    QGroupBox* gbLanguages = nullptr;
    QLabel* lbSelectLang = nullptr;
    DropDownComboBox* cbLang = nullptr;

    // The pop-up report's font as it is now, and how to change it at once; installed by the
    // controller before the dialog is shown.
    std::function<QPair<QFont, QColor>()> reportFont;
    std::function<void(const QFont&, const QColor&)> setReportFont;

    // Gives btnFontInPopUp and fontDialog this font and colour.
    void setFontChoice(const QFont& font, const QColor& color);
    // The font as it was given or last confirmed in the font dialog: what OK hands back.
    // Browsing in a cancelled font dialog does not change it.
    QFont chosenFont() const { return m_chosenFont; }

    void lbSettingsClick();
    void btnAddIPClick();
    void btnAddHTTPClick();
    void btnAddLanClick();
    void btnEditClick();
    void btnDeleteClick();
    // The font dialog, then the colour; a confirmed choice reaches the report at once.
    void btnFontInPopUpClick();
    void cbLangDropDown();
    void cbLangChange();
    void btnHelpClick();

    // The labels' texts as the accessible names of the controls they label.
    void updateAccessibleNames();

    // Tests: runs instead of showing a host entry dialog that has been set to its mode;
    // returns its result.
    std::function<int(HostEntryDialog&)> runAddHost;

public slots:
    void reject() override;  // the title bar's close: result 2

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void addHost(int mode);
    int runHostDialog(HostEntryDialog& dialog);
    // The titles of the host lines, but for the line at exceptRow.
    QStringList hostTitles(int exceptRow) const;

    QFont m_chosenFont;
    // [Dependencies] as the host dialogs leave them; taken over by apply().
    QList<QPair<QString, QString>> m_dependencies;
};

}  // namespace hv
