#include "views/AboutWindow.h"

#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "skin/Skin.h"
#include "translation/TranslateForm.h"
#include "widgets/HelpContext.h"
#include "widgets/LinkLabel.h"
#include "widgets/ScreenFit.h"

namespace hv {

// ---------------------------------------------------------------------------------------
// The maker's addresses and lines. PLACEHOLDERS in the reserved documentation domain
// (example.org): replace them here, and only here, with the real ones before a release.
namespace maker {
const char* const kSupportEmail = "support@example.org";
const char* const kWebSite = "https://www.example.org";
const char* const kAboutLine = "Network monitor for the tray";  // the third label
const char* const kName = "the Hostvane team";                  // completes lbInfo1
}  // namespace maker
// ---------------------------------------------------------------------------------------

AboutWindow* frmAbout = nullptr;

namespace {

constexpr int kWindowContext = 14;
constexpr int kControlContext = 5;

// The notice when the language file gives none.
const char* const kLawsText =
    "Hostvane is provided as is, without warranty of any kind. Check only hosts you are "
    "allowed to check.";

template <typename W>
W* place(W* w, const char* name, int left, int top, int width, int height) {
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
    return w;
}

QLabel* label(QWidget* parent, const char* name, int left, int top, int width, int height,
              const QString& text) {
    auto* l = place(new QLabel(text, parent), name, left, top, width, height);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setAutoFillBackground(false);
    return l;
}

// Tall enough for descenders and the links' underline; the lines' backgrounds are clear, so a
// line that reaches into the next one hides nothing.
void fitWidth(QLabel* l) {
    const int room = 269 - l->x() - 2;
    const QSize hint = l->sizeHint();
    l->resize(std::max(l->width(), std::min(hint.width(), room)),
              std::max(l->height(), hint.height()));
}

QFont pixelFont(const QString& family, int pixels, bool bold) {
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

}  // namespace

std::function<void(const QUrl&)>& AboutWindow::openUrl() {
    static std::function<void(const QUrl&)> hook;
    return hook;
}

QString AboutWindow::supportEmail() { return QString::fromLatin1(maker::kSupportEmail); }
QString AboutWindow::webSite() { return QString::fromLatin1(maker::kWebSite); }

AboutWindow::AboutWindow(const Skin* skin, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About..."));
    // A dialog border without caption buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(269, 344);
    ScreenFit::install(this);
    setHelpContext(this, kWindowContext);
    // The design's small sans serif: Arial-wide families first, so the lines fit their places.
    QFont small;
    small.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"),
                       QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                       QStringLiteral("Helvetica")});
    small.setPixelSize(11);
    setFont(small);

    plLogo = place(new QFrame(this), "plLogo", 11, 10, 36, 195);
    plLogo->setFrameShape(QFrame::Panel);
    plLogo->setFrameShadow(QFrame::Sunken);
    plLogo->setLineWidth(1);
    plLogo->setAccessibleName(QStringLiteral("Logo"));
    Image1 = place(new QLabel(plLogo), "Image1", 1, 1, 34, 193);
    Image1->setPixmap(logo(Image1->size()));
    Image1->setAccessibleName(QStringLiteral("Hostvane logo"));

    lbProgName = label(this, "lbProgName", 64, 6, 120, 23, QStringLiteral("lbProgName"));
    lbProgName->setFont(pixelFont(QStringLiteral("Courier New"), 20, true));
    {
        QPalette pal = lbProgName->palette();
        pal.setColor(QPalette::WindowText, QColor(95, 65, 50));
        lbProgName->setPalette(pal);
    }
    lbVer = label(this, "lbVer", 64, 27, 118, 13, QStringLiteral("lbVer"));
    lbVer->setFont(pixelFont(QStringLiteral("Courier"), 13, true));
    taglineLabel = label(this, "Label3", 64, 47, 166, 13, QString::fromLatin1(maker::kAboutLine));
    lbInfo1 = label(this, "lbInfo1", 63, 66, 194, 13,
                    QStringLiteral("This programm is designed and writed by:"));
    lbInfo2 = label(this, "lbInfo2", 64, 79, 80, 13, QString::fromLatin1(maker::kName));
    lbFeedback =
        label(this, "lbFeedback", 64, 129, 99, 13, QStringLiteral("For feedback mail to:"));
    emailLink = place(new LinkLabel(this), "Label6", 64, 141, 133, 13);
    emailLink->setLinkText(supportEmail());
    lbSupport1 = label(this, "lbSupport1", 64, 160, 187, 13,
                       QStringLiteral("You can download a newest version of "));
    lbSupport2 = label(this, "lbSupport2", 64, 172, 164, 13,
                       QStringLiteral("programm and other products from:"));
    webLink = place(new LinkLabel(this), "Label9", 64, 185, 114, 13);
    webLink->setLinkText(webSite());
    // Link labels grow to their text: an address longer than the design width stays whole.

    Bevel1 = place(new QFrame(this), "Bevel1", 10, 214, 252, 3);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setAccessibleName(QStringLiteral("Divider"));

    lbLaws = label(this, "lbLaws", 6, 223, 257, 73, QStringLiteral("lbLaws"));
    lbLaws->setWordWrap(true);
    lbLaws->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbLaws->setFont(pixelFont(QStringLiteral("Courier New"), 9, false));

    btnOK = place(new QPushButton(QStringLiteral("OK"), this), "btnOK", 181, 300, 75, 22);
    btnOK->setAutoDefault(false);

    for (QWidget* w : {static_cast<QWidget*>(plLogo), static_cast<QWidget*>(Image1),
                       static_cast<QWidget*>(lbProgName), static_cast<QWidget*>(lbVer),
                       static_cast<QWidget*>(taglineLabel), static_cast<QWidget*>(lbInfo1),
                       static_cast<QWidget*>(lbInfo2), static_cast<QWidget*>(lbFeedback),
                       static_cast<QWidget*>(emailLink), static_cast<QWidget*>(lbSupport1),
                       static_cast<QWidget*>(lbSupport2), static_cast<QWidget*>(webLink),
                       static_cast<QWidget*>(Bevel1), static_cast<QWidget*>(lbLaws),
                       static_cast<QWidget*>(btnOK)})
        setHelpContext(w, kControlContext);

    connect(emailLink, &LinkLabel::clicked, this, &AboutWindow::emailLinkClick);
    connect(webLink, &LinkLabel::clicked, this, &AboutWindow::webLinkClick);
    connect(btnOK, &QPushButton::clicked, this, &AboutWindow::btnOKClick);

    formCreate(skin);
    btnOK->setFocus();
}

void AboutWindow::formCreate(const Skin* skin) {
    if (skin) {
        skin->applyTo(this, Skin::Element::Window);
        skin->applyTo(btnOK, Skin::Element::Window);
        skin->applyTo(plLogo, Skin::Element::Window);
        skin->applyTo(Bevel1, Skin::Element::Window);
    }
    lbProgName->setText(QStringLiteral("Hostvane"));
    lbVer->setText(QStringLiteral(HV_VERSION));
    lbLaws->setText(QString::fromLatin1(kLawsText));
    translateForm(this);
    // Every line keeps its place and grows to its text, up to the window's edge: fonts here
    // are wider than the design's, and a language file may bring longer texts.
    for (QLabel* l : findChildren<QLabel*>())
        if (!l->wordWrap() && l != Image1) fitWidth(l);
}

void AboutWindow::emailLinkClick() {
    const QUrl url(QStringLiteral("mailto:") + supportEmail());
    // A missing mail program is not reported.
    if (openUrl())
        openUrl()(url);
    else
        QDesktopServices::openUrl(url);
}

void AboutWindow::webLinkClick() {
    const QUrl url(webSite());
    if (openUrl())
        openUrl()(url);
    else
        QDesktopServices::openUrl(url);
}

void AboutWindow::btnOKClick() { done(QDialog::Accepted); }

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QPixmap AboutWindow::logo(const QSize& size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(46, 84, 128));
    sky.setColorAt(1, QColor(18, 36, 58));
    p.fillRect(r, sky);

    // A weather vane on its mast at the top: the program's name.
    const qreal cx = r.width() / 2;
    p.setPen(QPen(QColor(230, 200, 120), 1.6));
    p.drawLine(QPointF(cx, 10), QPointF(cx, 52));
    QPainterPath arrow;
    arrow.moveTo(cx - 12, 22);
    arrow.lineTo(cx + 9, 22);
    arrow.lineTo(cx + 4, 17);
    arrow.moveTo(cx + 9, 22);
    arrow.lineTo(cx + 4, 27);
    arrow.moveTo(cx - 12, 22);
    arrow.lineTo(cx - 15, 18);
    arrow.moveTo(cx - 12, 22);
    arrow.lineTo(cx - 15, 26);
    p.drawPath(arrow);
    p.setBrush(QColor(230, 200, 120));
    p.drawEllipse(QPointF(cx, 36), 2.5, 2.5);

    // Signal rings rising from a host at the bottom.
    p.setBrush(Qt::NoBrush);
    const QPointF host(cx, r.height() - 16);
    for (int i = 1; i <= 3; ++i) {
        p.setPen(QPen(QColor(120, 200, 150, 255 - i * 55), 1.4));
        const qreal rad = 5.0 * i;
        p.drawArc(QRectF(host.x() - rad, host.y() - rad, 2 * rad, 2 * rad), 30 * 16, 120 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 200, 150));
    p.drawRoundedRect(QRectF(host.x() - 6, host.y() - 2, 12, 8), 2, 2);

    // The name, upright.
    QFont f(QStringLiteral("Courier New"));
    f.setPixelSize(15);
    f.setBold(true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    p.setFont(f);
    p.setPen(QColor(240, 235, 220));
    p.save();
    p.translate(cx + 5, r.height() / 2 + 52);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), QStringLiteral("HOSTVANE"));
    p.restore();
    return pm;
}

}  // namespace hv
