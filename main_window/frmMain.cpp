#include "main_window/frmMain.h"

#include "main_window/HostMessageBoxes.h"
#include "platform/AppIcon.h"
#include "platform/Contrast.h"
#include "platform/FileSystem.h"
#include "platform/NameCodec.h"
#include "platform/SettingsStore.h"
#include "platform/Twips.h"
#include "platform/Volumes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <algorithm>
#include <qdrawutil.h>

// Resources compiled into a static library are registered on request only; the macro
// has to stand outside any namespace.
static void initMainWindowResources()
{
    Q_INIT_RESOURCE(progress_bar1);
}

namespace orvel {

MainWindowServices MainWindowServices::host()
{
    MainWindowServices s;
    s.fs = &hostFileSystem();
    s.volumes = &hostVolumes();
    s.messages = &hostMessageBoxes();
    s.settings = &hostSettingsStore();
    s.startFolder = CurrentFolder();
    s.programFolder = QCoreApplication::applicationDirPath();
    s.homeFolder = HomeFolder();
    return s;
}

namespace {

// Faces drawn to Arial's widths, which are those the window was laid out for.
constexpr const char* MetricAlikes[] = {"Liberation Sans", "Arimo", "Arial", "Microsoft Sans Serif"};

QFont windowFont()
{
    // An 8.25 point face of Arial's widths. Font configuration answers every family
    // name with some face, often a much wider one, so each metric-alike is asked
    // for on its own and kept only when it is the face really delivered. Without
    // any, the desktop's own face stands in; fitCaptions() then finds its size.
    QFont f;
    f.setPointSizeF(8.25);
    for (const char* family : MetricAlikes) {
        QFont alike = f;
        alike.setFamilies({QString::fromLatin1(family)});
        const QString delivered = QFontInfo(alike).family().section(QLatin1String(" ["), 0, 0); // without a foundry
        if (std::any_of(std::begin(MetricAlikes), std::end(MetricAlikes), [&](const char* name) {
                return delivered.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
            }))
            return alike;
    }
    return f;
}

// Whether the caption of a label or button is drawn whole inside the control.
bool captionFits(const QWidget* w)
{
    const QFontMetricsF fm(w->font());
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        const QRect room = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRectF used = fm.boundingRect(QRectF(room), flags, label->text());
        return label->text().isEmpty() || (used.width() <= room.width() && used.height() <= room.height());
    }
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    if (!button || button->text().isEmpty())
        return true;
    // The style leaves the text what its indicator, spacing and frame do not take.
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QStyle::SubElement area = qobject_cast<const QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
        : qobject_cast<const QRadioButton*>(w)                        ? QStyle::SE_RadioButtonContents
                                                                      : QStyle::SE_PushButtonContents;
    const QRect room = w->style()->subElementRect(area, &option, w);
    const QSizeF text = fm.size(Qt::TextShowMnemonic, button->text());
    return text.width() <= room.width() && text.height() <= room.height();
}

// The rectangles are fixed, and the style's check marks and spacings are wider than
// those they were measured for: the window's text steps down from its design size
// until every caption fits, and not below a size that stays legible.
void fitCaptions(QWidget* window)
{
    constexpr qreal SmallestPointSize = 6.5;
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    QFont f = window->font();
    for (qreal size = f.pointSizeF(); size >= SmallestPointSize; size -= 0.25) {
        f.setPointSizeF(size);
        window->setFont(f);
        if (std::all_of(controls.begin(), controls.end(), captionFits))
            return;
    }
}

// Frames as the window was laid out for: the caption stands on the top line, which
// runs through its middle, so the first option below it has room. Desktop styles put
// the caption above a lower line that crosses that option. The line is etched in the
// palette's shadow and highlight colours.
class CaptionOnFrameStyle : public QProxyStyle {
public:
    CaptionOnFrameStyle()
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    {
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control == CC_GroupBox && box && part == SC_GroupBoxLabel)
            return box->text.isEmpty() ? QRect()
                                       : QRect(8, 0, box->fontMetrics.size(Qt::TextShowMnemonic, box->text).width() + 4,
                                               box->fontMetrics.height());
        if (control == CC_GroupBox && box && part == SC_GroupBoxFrame)
            return box->rect.adjusted(0, box->text.isEmpty() ? 0 : box->fontMetrics.height() / 2, 0, 0);
        return QProxyStyle::subControlRect(control, option, part, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        qDrawShadeRect(painter, subControlRect(control, option, SC_GroupBoxFrame, widget), box->palette, true, 1, 0);
        if (box->text.isEmpty())
            return;
        const QRect caption = subControlRect(control, option, SC_GroupBoxLabel, widget);
        painter->fillRect(caption, box->palette.window());
        drawItemText(painter, caption, Qt::AlignCenter | Qt::TextShowMnemonic, box->palette, box->state & State_Enabled,
                     box->text, QPalette::WindowText);
    }
};

// One for the process, deleted with the application after every window.
QStyle* captionOnFrameStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new CaptionOnFrameStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

// Colours the window fixes for itself, chosen for a light desktop. On a dark one
// each keeps its hue and becomes as much lighter or darker as it takes to be read.
const QColor StatusBlue(0, 0, 255);
const QColor DropTargetNavy(0, 0, 192);
const QColor LockedFieldGrey(224, 224, 224);

constexpr QPalette::ColorGroup ColorGroups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};

// Palettes here set only the roles they are given; every other role follows the
// parent, so the control keeps up with the desktop's colours.
void setFixedTextColor(QWidget* w, const QColor& fixed, const QPalette& window)
{
    QPalette p;
    for (auto group : ColorGroups)
        p.setColor(group, QPalette::WindowText, ReadableColor(fixed, window.color(group, QPalette::Window)));
    w->setPalette(p);
}

void applyColors(frmMain& w)
{
    const QPalette window = w.palette();
    setFixedTextColor(w.lblStatus, StatusBlue, window);
    setFixedTextColor(w.Label1, DropTargetNavy, window);

    // The path field keeps the desktop's text colour on its own light grey, as long
    // as that can be read; under light text the grey darkens instead.
    QPalette directory;
    for (auto group : ColorGroups) {
        const QColor text = window.color(group, QPalette::Text);
        directory.setColor(group, QPalette::Base, ReadableColor(LockedFieldGrey, text));
    }
    w.txtDirectory->setPalette(directory);

    // The name field takes no input, but what it shows is read: its greyed text is
    // kept legible on its button-face background.
    QPalette name;
    for (auto group : ColorGroups) {
        const QColor face = window.color(group, QPalette::Button);
        name.setColor(group, QPalette::Base, face);
        name.setColor(group, QPalette::Text, ReadableColor(window.color(group, QPalette::Text), face));
    }
    w.txtNAME->setPalette(name);
}

// Re-applies the window's own colours when the desktop's palette changes under it.
class PaletteFollower : public QObject {
public:
    explicit PaletteFollower(frmMain* window)
        : QObject(window)
        , m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::PaletteChange)
            applyColors(*m_window);
        return false;
    }

private:
    frmMain* m_window;
};

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

} // namespace

frmMain::frmMain(const MainWindowServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    initMainWindowResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvel File Rename"));
    // Fixed single border: no maximise button and no resizing.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFont(windowFont());
    setWindowIcon(ApplicationIcon());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("clientArea"));
    m_client->setFixedSize(twipsSize(7845, 4905));
    layout->addWidget(m_client);

    createControls();
    createMenus();
    layout->setMenuBar(menuBar);

    endProcess = [] { QCoreApplication::exit(0); };

    // The lists open at the start folder before any handler is connected: loading the
    // window raises no change events. A start folder that cannot be opened (gone,
    // unreadable) gives way to the home folder: never silently to the root, where one
    // click on Rename All would reach the system's own folders.
    for (const QString& folder : {m_services.startFolder, m_services.homeFolder, QDir::rootPath()})
        if (m_services.fs->openFolder(folder).isOpen() && Dir1->setPath(folder))
            break;
    Drive1->setDrive(Dir1->Path());
    File1->setPath(Dir1->Path());

    connect(Drive1, &DriveListBox::Change, this, &frmMain::Drive1_Change);
    connect(Dir1, &DirListBox::Change, this, &frmMain::Dir1_Change);
    connect(Dir1, &DirListBox::Click, this, &frmMain::Dir1_Click);
    connect(File1, &FileListBox::Click, this, &frmMain::File1_Click);
    connect(File1, &FileListBox::DblClick, this, &frmMain::File1_DblClick);
    connect(cmdUpLevel, &QPushButton::clicked, this, &frmMain::cmdUpLevel_Click);
    connect(cmdALL, &QPushButton::clicked, this, &frmMain::cmdALL_Click);
    connect(cmdSELECTED, &QPushButton::clicked, this, &frmMain::cmdSELECTED_Click);
    connect(chkRenameFolder, &QCheckBox::toggled, this, &frmMain::chkRenameFolder_Click);
    connect(ckTop, &QCheckBox::toggled, this, &frmMain::ckTop_Click);
    connect(Label1, &DropLabel::OLEDragDrop, this, &frmMain::Label1_OLEDragDrop);
    connect(lblCancel, &ClickLabel::Click, this, &frmMain::lblCancel_Click);

    Form_Load();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        move(screen->availableGeometry().center() - rect().center());
    }
}

frmMain::~frmMain() = default;

void frmMain::createControls()
{
    QWidget* c = m_client;

    Drive1 = place(new DriveListBox(*m_services.volumes, c), "Drive1", 0, 120, 2250, 315);

    cmdUpLevel = place(new QPushButton(c), "cmdUpLevel", 2280, 120, 350, 330);
    cmdUpLevel->setToolTip(QStringLiteral("Up One Level"));
    cmdUpLevel->setIcon(QIcon(UpLevelPicture()));
    cmdUpLevel->setIconSize(QSize(16, 16));

    Dir1 = place(new DirListBox(*m_services.fs, *m_services.volumes, c), "Dir1", 0, 480, 2745, 1890);
    File1 = place(new FileListBox(*m_services.fs, c), "File1", 2760, 120, 2745, 2235);

    Label2 = place(new QLabel(QStringLiteral("Double click to select a folder"), c), "Label2", 120, 2400, 2535, 255);

    txtNAME = place(new QLineEdit(c), "txtNAME", 2820, 2475, 2595, 285);
    txtNAME->setEnabled(false);

    cmdSELECTED = place(new QPushButton(QStringLiteral("Rename &Selected"), c), "cmdSELECTED", 2880, 2880, 2520, 330);
    cmdSELECTED->setEnabled(false);
    cmdALL = place(new QPushButton(QStringLiteral("Rename &All"), c), "cmdALL", 2880, 3240, 2520, 315);

    lblFolder = place(new QLabel(QStringLiteral("Sub Folders  : 0"), c), "lblFolder", 120, 2880, 2535, 255);
    lblFiles = place(new QLabel(QStringLiteral("Files  : 0"), c), "lblFiles", 120, 3240, 2535, 255);

    // The progress bar comes up with the settings saved for it with the window.
    ProgressBar1 = CreateFromSavedProperties(QStringLiteral(":/main_window/ProgressBar1.ini"), c);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->move(twipsToPixels(120), twipsToPixels(3720));

    lblStatus = place(new QLabel(c), "lblStatus", 120, 4080, 5295, 375);
    // Fonts set on single controls name only what differs from the window's, so the
    // face and the fitted size reach them.
    {
        QFont f;
        f.setBold(true);
        f.setPointSizeF(12);
        lblStatus->setFont(f);
    }

    ckTop = place(new QCheckBox(QStringLiteral("On Top"), c), "ckTop", 5760, 4080, 1125, 285);

    txtDirectory = place(new QLineEdit(c), "txtDirectory", 120, 4560, 7455, 285);
    txtDirectory->setReadOnly(true);
    {
        QFont f;
        f.setBold(true);
        txtDirectory->setFont(f);
    }

    Frame1 = place(new QGroupBox(QStringLiteral("Case"), c), "Frame1", 5640, 120, 1815, 1815);
    Frame1->setStyle(captionOnFrameStyle());
    optCASES[0] = place(new QRadioButton(QStringLiteral("lower case"), Frame1), "optCASES(0)", 240, 240, 1080, 210);
    optCASES[1] = place(new QRadioButton(QStringLiteral("UPPER CASE"), Frame1), "optCASES(1)", 240, 530, 1320, 210);
    optCASES[2] = place(new QRadioButton(QStringLiteral("Proper Case"), Frame1), "optCASES(2)", 240, 800, 1185, 210);
    optCASES[2]->setChecked(true);
    chkRenameFile = place(new QCheckBox(QStringLiteral("Rename file"), Frame1), "chkRenameFile", 240, 1200, 1455, 240);
    chkRenameFile->setChecked(true);
    chkRenameFolder =
        place(new QCheckBox(QStringLiteral("Rename folder"), Frame1), "chkRenameFolder", 240, 1440, 1455, 240);

    Check1 = place(new QCheckBox(QStringLiteral("Include subfolders"), c), "Check1", 5760, 2040, 1695, 240);

    frameDrop = place(new QGroupBox(c), "frameDrop", 5640, 2400, 1935, 1575);
    frameDrop->setStyle(captionOnFrameStyle());
    Label1 =
        place(new DropLabel(QStringLiteral("Drag and Drop folder here"), frameDrop), "Label1", 120, 240, 1695, 1215);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    {
        QFont f;
        f.setBold(true);
        Label1->setFont(f);
    }

    // Below the client area, which the window cannot be enlarged to show.
    lblCancel =
        place(new ClickLabel(QStringLiteral("Click Here To Cancel At Any Time"), c), "lblCancel", 120, 5040, 5295, 255);
    {
        QFont f;
        f.setBold(true);
        f.setUnderline(true);
        lblCancel->setFont(f);
    }

    fitCaptions(this);
    applyColors(*this);
    new PaletteFollower(this);
}

void frmMain::createMenus()
{
    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    // The menus keep to the window's own look, whatever the desktop does with menu bars.
    menuBar->setNativeMenuBar(false);

    mnuFile = menuBar->addMenu(QStringLiteral("File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuRenameSelected = mnuFile->addAction(QStringLiteral("Rename Selected"));
    mnuRenameSelected->setObjectName(QStringLiteral("mnuRenameSelected"));
    mnuRenameSelected->setEnabled(false);
    mnuRenamedAll = mnuFile->addAction(QStringLiteral("Rename All"));
    mnuRenamedAll->setObjectName(QStringLiteral("mnuRenamedAll"));
    mnuSP1 = mnuFile->addSeparator();
    mnuSP1->setObjectName(QStringLiteral("mnuSP1"));
    mnuFileSub = mnuFile->addMenu(QStringLiteral("Recents"));
    mnuFileSub->setObjectName(QStringLiteral("mnuFileSub"));
    for (int i = 1; i <= 3; ++i) {
        mnuRecentSub[i] = mnuFileSub->addAction(QString());
        mnuRecentSub[i]->setObjectName(QStringLiteral("mnuRecentSub(%1)").arg(i));
        mnuRecentSub[i]->setVisible(i == 1);
        connect(mnuRecentSub[i], &QAction::triggered, this, [this, i] { mnuRecentSub_Click(i); });
    }
    mnuSP2 = mnuFile->addSeparator();
    mnuSP2->setObjectName(QStringLiteral("mnuSP2"));
    mnuMRUClear = mnuFile->addAction(QStringLiteral("Clear recent files list"));
    mnuMRUClear->setObjectName(QStringLiteral("mnuMRUClear"));
    mnuSP3 = mnuFile->addSeparator();
    mnuSP3->setObjectName(QStringLiteral("mnuSP3"));
    mnuExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));

    mnuHelp = menuBar->addMenu(QStringLiteral("Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));

    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::mnuFile_Click);
    connect(mnuHelp, &QMenu::aboutToShow, this, &frmMain::mnuHelp_Click);
    connect(mnuRenameSelected, &QAction::triggered, this, &frmMain::cmdSELECTED_Click);
    connect(mnuRenamedAll, &QAction::triggered, this, &frmMain::cmdALL_Click);
    connect(mnuMRUClear, &QAction::triggered, this, &frmMain::mnuMRUClear_Click);
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

// ---------------------------------------------------------------- start and end

void frmMain::Form_Load()
{
    txtDirectory->setText(DirectoryText(Dir1->Path()));
    txtSubDirectory = Dir1->Path();
    m_cancelRequested = false;
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Closing asks nothing; the other windows of the program stay open and the
    // process ends with the last of them.
    if (m_running) {
        // The close arrived while a run let window events through: the run stops after
        // the rename in hand, nothing half done, and then closes the window itself. The
        // window stays up until then: hidden, its close would not end the program.
        m_closePending = true;
        m_cancelRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}

void frmMain::mnuExit_Click()
{
    close();
    QApplication::closeAllWindows();
    if (endProcess)
        endProcess();
}

// ---------------------------------------------------------------- options and enabling

CaseStyle frmMain::SelectedCase() const
{
    for (int i = 0; i < 3; ++i)
        if (optCASES[i]->isChecked())
            return static_cast<CaseStyle>(i);
    return CaseStyle::None;
}

RunOptions frmMain::CurrentOptions() const
{
    return {chkRenameFile->isChecked(), chkRenameFolder->isChecked(), SelectedCase()};
}

void frmMain::chkRenameFolder_Click()
{
    cmdSELECTED->setEnabled(chkRenameFolder->isChecked());
}

void frmMain::ckTop_Click()
{
    // Changing the hint re-creates the native window; keep its place on screen.
    const QPoint at = pos();
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, ckTop->isChecked());
    if (wasVisible) {
        move(at);
        show();
    }
}

void frmMain::UpdateSelectedState()
{
    if (!chkRenameFolder->isChecked() && !chkRenameFile->isChecked())
        cmdSELECTED->setEnabled(false);
    mnuRenameSelected->setEnabled(false);
    const bool folder = chkRenameFolder->isChecked();
    const int count = File1->ListCount();
    for (int i = 0; i < count; ++i) {
        if (folder || File1->Selected(i)) {
            cmdSELECTED->setEnabled(true);
            mnuRenameSelected->setEnabled(true);
            return;
        }
    }
}

void frmMain::ResetRunDisplay()
{
    // Pointing the list at the folder re-reads it: no second read is needed.
    File1->setPath(Dir1->Path());
    txtDirectory->setText(DirectoryText(Dir1->Path()));
    lstCantRename.clear();
    txtFiles = QStringLiteral("0");
    txtFolders = QStringLiteral("0");
    lblFolder->setText(QStringLiteral("Folders  : 0"));
    lblFiles->setText(QStringLiteral("Files  : 0"));
    lblStatus->setText(QString());
    lblFolder->hide();
    lblFiles->hide();
}

void frmMain::lblCancel_Click()
{
    m_cancelRequested = true;
}

// ---------------------------------------------------------------- other windows

void frmMain::mnuHelp_Click()
{
    if (m_services.showHelp)
        m_services.showHelp();
}

void frmMain::mnuAbout_Click()
{
    if (m_services.showAbout)
        m_services.showAbout();
}

} // namespace orvel
