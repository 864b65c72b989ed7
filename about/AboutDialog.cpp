// The about box's layout, its blinking version line, and its links opened by click or key.

#include "about/AboutDialog.h"

#include "about/AboutTexts.h"
#include "about/LinkLabel.h"
#include "about/OpenWebLink.h"
#include "platform/AppIcon.h"
#include "platform/Launch.h"
#include "platform/Twips.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

// The picture is compiled into this static library; see AppIcon.cpp for why it is
// registered by hand. Q_INIT_RESOURCE has to be expanded outside any namespace.
static QPixmap aboutPicture()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(about_pictures);
        return true;
    }();
    (void)once;
    return QPixmap(QStringLiteral(":/orvel/about/about-picture.png"));
}

namespace orvel {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kLinkIdle(0, 0, 0);

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}

template <typename Label = QLabel>
Label* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& rect)
{
    auto* label = new Label(text, parent);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    return label;
}

void addSeparator(QWidget* parent, const QRect& rect)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(rect);
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent)
    // A tool window stays out of the task bar; quitting on close is switched back
    // on below so that the program keeps running while this box is open on its own.
    : QDialog(parent,
              Qt::Tool | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_QuitOnClose, true);
    setWindowTitle(QStringLiteral("About This Software ..."));
    setWindowIcon(ApplicationIcon());
    setFixedSize(twipsSize(5235, 4905));
    setModal(false);
    QFont tahoma;
    tahoma.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    tahoma.setStyleHint(QFont::SansSerif);
    tahoma.setPointSizeF(8.25);
    setFont(tahoma);

    lpAppImage = addLabel(this, "lpAppImage", {}, twipsRect(120, 120, 1155, 3015));
    lpAppImage->setPixmap(aboutPicture());
    lpAppImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lpAppImage->setAccessibleName(QStringLiteral("Picture"));

    imgIcon = addLabel(this, "imgIcon", {}, twipsRect(1440, 120, 480, 480));
    imgIcon->setPixmap(ApplicationIcon32());
    imgIcon->setAccessibleName(ApplicationTitle());

    lbAppTitle = addLabel(this, "lbAppTitle", ApplicationTitle(), twipsRect(2040, 120, 3075, 375));
    QFont titleFont = tahoma;
    titleFont.setBold(true);
    titleFont.setPointSizeF(12);
    lbAppTitle->setFont(titleFont);
    setTextColour(lbAppTitle, kNavy);

    // The shown line takes its text in turn from a hidden holder of the version and
    // from an empty one.
    lbAppVersion[0] = addLabel(this, "lbAppVersion0", VersionText(), twipsRect(2040, 540, 3075, 255));
    lbAppVersion[0]->hide();
    lbAppVersion[1] = addLabel(this, "lbAppVersion1", {}, twipsRect(2040, 540, 3075, 255));
    lbAppVersionorg = addLabel(this, "lbAppVersionorg", {}, twipsRect(2040, 540, 3075, 255));
    // The empty holder draws nothing, shown or not; hidden, a screen reader does not
    // meet an empty label. The blinking line is read as the version it shows, not as
    // a text that comes and goes twice a second.
    lbAppVersion[1]->hide();
    lbAppVersionorg->setAccessibleName(VersionText());

    addSeparator(this, twipsRect(1440, 1200, 3675, 30));

    QLabel* url = addLabel(this, nullptr, QStringLiteral("URL      :"), twipsRect(1440, 1440, 840, 255));
    lblMyweb = addLabel<LinkLabel>(this, "lblMyweb", MakerWebAddress(), twipsRect(2280, 1440, 2835, 255));
    QLabel* email = addLabel(this, nullptr, QStringLiteral("Email    :"), twipsRect(1440, 1800, 840, 255));
    lblEmailme = addLabel<LinkLabel>(this, "lblEmailme", MakerMailAddress(), twipsRect(2280, 1800, 2835, 255));
    // Each caption labels its link for a screen reader.
    url->setBuddy(lblMyweb);
    email->setBuddy(lblEmailme);
    for (LinkLabel* link : {lblMyweb, lblEmailme}) {
        link->setCursor(Qt::PointingHandCursor);
        link->setMouseTracking(true);
        link->installEventFilter(this);
        setTextColour(link, kLinkIdle);
    }
    // From the keyboard or a screen reader; a click is taken below, with the colours.
    connect(lblMyweb, &LinkLabel::activated, this, &AboutDialog::openWebAddress);
    connect(lblEmailme, &LinkLabel::activated, this, &AboutDialog::openMailAddress);

    addSeparator(this, twipsRect(1440, 3240, 3675, 30));

    cmdExit = new QPushButton(QStringLiteral("&Ok"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(twipsRect(3600, 3480, 1455, 375));
    cmdExit->setDefault(true);
    connect(cmdExit, &QPushButton::clicked, this, &QDialog::close);

    cmdSysinfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysinfo->setObjectName(QStringLiteral("cmdSysinfo"));
    cmdSysinfo->setGeometry(twipsRect(3600, 3960, 1455, 375));
    // Nothing is connected: there is no system-information tool to start.

    // The background reports moves without a button held, so leaving a link for
    // the background turns the link back to black.
    setMouseTracking(true);

    m_blinkTimer.setInterval(500);
    connect(&m_blinkTimer, &QTimer::timeout, this, &AboutDialog::blinkVersion);
    m_blinkTimer.start();
}

void AboutDialog::blinkVersion()
{
    // Phase 0 shows the hidden holder's text, phase 1 the empty one: the line is
    // empty until the first tick and then blinks.
    lbAppVersionorg->setText(lbAppVersion[m_blinkPhase]->text());
    m_blinkPhase = (m_blinkPhase + 1) % 2;
}

void AboutDialog::mouseMoveEvent(QMouseEvent* event)
{
    resetLinkColours();
    QDialog::mouseMoveEvent(event);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != lblMyweb && watched != lblEmailme)
        return QDialog::eventFilter(watched, event);
    auto* link = static_cast<QLabel*>(watched);
    switch (event->type()) {
    case QEvent::MouseMove:
        setTextColour(link, kNavy);
        return true; // not on to the background, which would reset the colour
    case QEvent::MouseButtonPress: return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton)
            return false;
        if (link->rect().contains(me->position().toPoint())) {
            if (link == lblMyweb)
                openWebAddress();
            else
                openMailAddress();
        }
        return true;
    }
    default: return QDialog::eventFilter(watched, event);
    }
}

void AboutDialog::resetLinkColours()
{
    setTextColour(lblMyweb, kLinkIdle);
    setTextColour(lblEmailme, kLinkIdle);
}

void AboutDialog::openWebAddress()
{
    OpenWebLink(lblMyweb->text());
}

void AboutDialog::openMailAddress()
{
    // The mail client's own failures are its business; there is nothing to report.
    OpenWithDesktop(QUrl(QStringLiteral("mailto:") + lblEmailme->text()));
}

} // namespace orvel
