#pragma once

#include <QDialog>
#include <QStringList>

#include "hosts/HostEntry.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace hv {

class MaskEdit;

// The host entry dialog: a title and an address, in one of six modes (new or edit, times IP,
// HTTP or LAN). Created by the settings dialog for one host, run modally, then destroyed.
// Result 1 for OK; Cancel and the title bar's close give 2. Neither Enter nor Esc closes it.
class HostEntryDialog : public QDialog {
    Q_OBJECT
public:
    enum Result { kOk = 1, kCancel = 2 };

    explicit HostEntryDialog(QWidget* parent = nullptr);

    QLabel* lbTitle = nullptr;
    QLineEdit* edTitle = nullptr;
    QLabel* lbHint = nullptr;
    MaskEdit* MaskEdit1 = nullptr;
    QLineEdit* edHTTP = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* lbDependsOn = nullptr;
    QComboBox* cbDependsOn = nullptr;  // line 0: no parent; then the other hosts' titles

    // The titles a host may depend on (the list's other hosts) and the one it depends on now
    // (empty: none). A parent that is not among them is kept as a line of its own.
    void setParentChoices(const QStringList& titles, const QString& current);
    // The chosen parent's title; empty for none.
    QString dependsOn() const;

    // While true, every change of the address copies its value text into edTitle. Set only
    // by the new-IP mode; the first key that types into the title clears it for good.
    bool TitleFollowsAddress = false;

    // The titles of the list's other hosts (not the one being edited). OK refuses a title
    // that equals one of them but for letter case and surrounding blanks, since the settings
    // file would keep only one: a message box says so and the dialog stays open.
    QStringList otherTitles;
    // The other host's title that the title in edTitle clashes with; empty when none does.
    QString clashingTitle() const;
    // OK: result 1 unless the title clashes.
    void btnOKClick();

    // Caption, label, fields and the following flag of a mode; an edit mode starts from host.
    void setMode(HostEntryMode mode, const Host& host = {});
    HostEntryMode mode() const { return m_mode; }

    // title + " :  " + the address as this mode hands it back (after result 1).
    QString hostLine() const;

    void maskEditChange();
    void edHTTPChange();
    void edTitleKeyPress(const QKeyEvent& event);

    // The label texts as the accessible names of the fields they label (after translation
    // and after a mode change).
    void updateAccessibleNames();

public slots:
    void reject() override;  // the title bar's close: result 2

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    HostEntryMode m_mode = HostEntryMode::NewIP;
};

}  // namespace hv
