#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace hv {

class LinkLabel;
class Skin;

// The About window: the program's name and version, a few lines about its maker and the
// maker's two links (mail and web site). Shown modally from the tray menu; at most one exists.
// Main thread.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    // skin: the main window's skin data (may be null).
    explicit AboutWindow(const Skin* skin, QWidget* parent = nullptr);

    QFrame* plLogo = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lbProgName = nullptr;
    QLabel* lbVer = nullptr;
    QLabel* taglineLabel = nullptr;
    QLabel* lbInfo1 = nullptr;
    QLabel* lbInfo2 = nullptr;
    QLabel* lbFeedback = nullptr;
    LinkLabel* emailLink = nullptr;
    QLabel* lbSupport1 = nullptr;
    QLabel* lbSupport2 = nullptr;
    LinkLabel* webLink = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* lbLaws = nullptr;
    QPushButton* btnOK = nullptr;

    void emailLinkClick();
    void webLinkClick();
    void btnOKClick();

    // The maker's addresses.
    static QString supportEmail();
    static QString webSite();

    // Tests: receives the links instead of the desktop; empty: QDesktopServices.
    static std::function<void(const QUrl&)>& openUrl();

    // The narrow upright logo, drawn by us.
    static QPixmap logo(const QSize& size);

protected:
    // No Cancel button: Esc closes nothing, only OK does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void formCreate(const Skin* skin);
};

// The open About window; null when none is shown.
extern AboutWindow* frmAbout;

}  // namespace hv
