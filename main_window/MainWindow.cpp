// The main window's controls and menus, its keyboard use, and opening and closing it.

#include "main_window/MainWindow.h"

#include "engine/Paths.h"
#include "main_window/MainWindowStyle.h"
#include "main_window/WindowRoles.h"
#include "platform/AppIcon.h"
#include "platform/FileSystem.h"
#include "platform/Twips.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

// Resources compiled into a static library are registered on request only; the macro
// has to stand outside any namespace.
static void initMainWindowResources()
{
    Q_INIT_RESOURCE(main_window_resources);
}

namespace orvel {

namespace {

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

} // namespace

MainWindow::MainWindow(const MainWindowServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    initMainWindowResources();
    InstallWindowRoles();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Orvel File Rename"));
    // Fixed single border: no maximise button and no resizing.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFont(WindowFont());
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
    createKeyboardAccess();

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

    connect(Drive1, &VolumeBox::volumeChanged, this, &MainWindow::volumeChanged);
    connect(Dir1, &FolderListBox::folderChanged, this, &MainWindow::folderChanged);
    connect(Dir1, &FolderListBox::folderClicked, this, &MainWindow::folderClicked);
    connect(File1, &FileListBox::fileClicked, this, &MainWindow::fileClicked);
    connect(File1, &FileListBox::fileDoubleClicked, this, &MainWindow::fileDoubleClicked);
    connect(cmdUpLevel, &QPushButton::clicked, this, &MainWindow::upOneLevel);
    connect(cmdALL, &QPushButton::clicked, this, &MainWindow::renameAll);
    connect(cmdSELECTED, &QPushButton::clicked, this, &MainWindow::renameSelected);
    connect(chkRenameFolder, &QCheckBox::toggled, this, &MainWindow::renameFolderToggled);
    for (QRadioButton* option : optCASES)
        connect(option, &QRadioButton::toggled, this, &MainWindow::tabToSelectedCase);
    connect(ckTop, &QCheckBox::toggled, this, &MainWindow::onTopToggled);
    connect(Label1, &DropLabel::dropped, this, &MainWindow::folderDropped);
    connect(lblCancel, &ClickLabel::clicked, this, &MainWindow::cancelSearch);

    showOpenFolder();
    updateUndoState();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        adjustSize();
        move(screen->availableGeometry().center() - rect().center());
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls()
{
    QWidget* c = m_client;

    Drive1 = place(new VolumeBox(*m_services.volumes, c), "Drive1", 0, 120, 2250, 315);
    Drive1->setAccessibleName(QStringLiteral("Drive"));

    cmdUpLevel = place(new QPushButton(c), "cmdUpLevel", 2280, 120, 350, 330);
    cmdUpLevel->setToolTip(QStringLiteral("Up One Level"));
    cmdUpLevel->setAccessibleName(QStringLiteral("Up one level"));
    cmdUpLevel->setIcon(QIcon(UpLevelPicture()));
    cmdUpLevel->setIconSize(QSize(16, 16));

    Dir1 = place(new FolderListBox(*m_services.fs, *m_services.volumes, c), "Dir1", 0, 480, 2745, 1890);
    File1 = place(new FileListBox(*m_services.fs, c), "File1", 2760, 120, 2745, 2235);
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    File1->setAccessibleName(QStringLiteral("Files"));

    Label2 = place(new QLabel(QStringLiteral("Double click to select a folder"), c), "Label2", 120, 2400, 2535, 255);

    txtNAME = place(new QLineEdit(c), "txtNAME", 2820, 2475, 2595, 285);
    txtNAME->setEnabled(false);
    txtNAME->setAccessibleName(QStringLiteral("Current file"));

    cmdSELECTED = place(new QPushButton(QStringLiteral("Rename &Selected"), c), "cmdSELECTED", 2880, 2880, 2520, 330);
    cmdSELECTED->setEnabled(false);
    cmdALL = place(new QPushButton(QStringLiteral("Rename &All"), c), "cmdALL", 2880, 3240, 2520, 315);

    lblFolder = place(new QLabel(QStringLiteral("Sub Folders  : 0"), c), "lblFolder", 120, 2880, 2535, 255);
    lblFiles = place(new QLabel(QStringLiteral("Files  : 0"), c), "lblFiles", 120, 3240, 2535, 255);

    // The progress bar comes up with the settings saved for it with the window.
    ProgressBar1 = CreateFromSavedProperties(QStringLiteral(":/main_window/progress_bar_settings.ini"), c);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->move(twipsToPixels(120), twipsToPixels(3720));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));

    lblStatus = place(new QLabel(c), "lblStatus", 120, 4080, 5295, 375);
    // Fonts set on single controls name only what differs from the window's, so the
    // face and the fitted size reach them.
    {
        QFont f;
        f.setBold(true);
        f.setPointSizeF(12);
        lblStatus->setFont(f);
    }
    setStatusText(QString());

    ckTop = place(new QCheckBox(QStringLiteral("&On Top"), c), "ckTop", 5760, 4080, 1125, 285);

    txtDirectory = place(new QLineEdit(c), "txtDirectory", 120, 4560, 7455, 285);
    txtDirectory->setReadOnly(true);
    txtDirectory->setAccessibleName(QStringLiteral("Current folder"));
    {
        QFont f;
        f.setBold(true);
        txtDirectory->setFont(f);
    }

    Frame1 = place(new QGroupBox(QStringLiteral("Case"), c), "Frame1", 5640, 120, 1815, 1815);
    Frame1->setStyle(CaptionOnFrameStyle());
    optCASES[0] = place(new QRadioButton(QStringLiteral("&lower case"), Frame1), "optCASES(0)", 240, 240, 1080, 210);
    optCASES[1] = place(new QRadioButton(QStringLiteral("&UPPER CASE"), Frame1), "optCASES(1)", 240, 530, 1320, 210);
    optCASES[2] = place(new QRadioButton(QStringLiteral("&Proper Case"), Frame1), "optCASES(2)", 240, 800, 1185, 210);
    optCASES[2]->setChecked(true);
    chkRenameFile = place(new QCheckBox(QStringLiteral("&Rename file"), Frame1), "chkRenameFile", 240, 1200, 1455, 240);
    chkRenameFile->setChecked(true);
    chkRenameFolder =
        place(new QCheckBox(QStringLiteral("Rename fol&der"), Frame1), "chkRenameFolder", 240, 1440, 1455, 240);

    Check1 = place(new QCheckBox(QStringLiteral("&Include subfolders"), c), "Check1", 5760, 2040, 1695, 240);

    frameDrop = place(new QGroupBox(c), "frameDrop", 5640, 2400, 1935, 1575);
    frameDrop->setAccessibleName(QStringLiteral("Drop target"));
    frameDrop->setStyle(CaptionOnFrameStyle());
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

    FitCaptions(this);
    FollowPalette({this, lblStatus, Label1, txtDirectory, txtNAME});
}

void MainWindow::createMenus()
{
    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    // The menus keep to the window's own look, whatever the desktop does with menu bars.
    menuBar->setNativeMenuBar(false);

    mnuFile = menuBar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuRenameSelected = mnuFile->addAction(QStringLiteral("Rename &Selected"));
    mnuRenameSelected->setObjectName(QStringLiteral("mnuRenameSelected"));
    mnuRenameSelected->setEnabled(false);
    mnuRenamedAll = mnuFile->addAction(QStringLiteral("Rename &All"));
    mnuRenamedAll->setObjectName(QStringLiteral("mnuRenamedAll"));
    mnuPreviewAll = mnuFile->addAction(QStringLiteral("&Preview Rename All…"));
    mnuPreviewAll->setObjectName(QStringLiteral("mnuPreviewAll"));
    mnuPreviewAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    mnuPreviewAll->setShortcutContext(Qt::WindowShortcut);
    addAction(mnuPreviewAll);
    mnuPreviewSelected = mnuFile->addAction(QStringLiteral("Preview Rename Se&lected…"));
    mnuPreviewSelected->setObjectName(QStringLiteral("mnuPreviewSelected"));
    mnuPreviewSelected->setEnabled(false);
    mnuSP1 = mnuFile->addSeparator();
    mnuSP1->setObjectName(QStringLiteral("mnuSP1"));
    mnuFileSub = mnuFile->addMenu(QStringLiteral("&Recents"));
    mnuFileSub->setObjectName(QStringLiteral("mnuFileSub"));
    for (int i = 1; i <= 3; ++i) {
        mnuRecentSub[i] = mnuFileSub->addAction(QString());
        mnuRecentSub[i]->setObjectName(QStringLiteral("mnuRecentSub(%1)").arg(i));
        mnuRecentSub[i]->setVisible(i == 1);
        connect(mnuRecentSub[i], &QAction::triggered, this, [this, i] { openRecentFolder(i); });
    }
    mnuSP2 = mnuFile->addSeparator();
    mnuSP2->setObjectName(QStringLiteral("mnuSP2"));
    mnuMRUClear = mnuFile->addAction(QStringLiteral("&Clear recent files list"));
    mnuMRUClear->setObjectName(QStringLiteral("mnuMRUClear"));
    mnuSP3 = mnuFile->addSeparator();
    mnuSP3->setObjectName(QStringLiteral("mnuSP3"));
    mnuUndo = mnuFile->addAction(QStringLiteral("&Undo Last Rename"));
    mnuUndo->setObjectName(QStringLiteral("mnuUndo"));
    mnuUndo->setShortcut(QKeySequence::Undo);
    // The window has no text field that takes input, so Ctrl+Z is this command's wherever
    // the focus is.
    mnuUndo->setShortcutContext(Qt::WindowShortcut);
    addAction(mnuUndo);
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    mnuOptions = menuBar->addMenu(QStringLiteral("Op&tions"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuKeepExtension = mnuOptions->addAction(QStringLiteral("Keep &extensions as they are"));
    mnuKeepExtension->setObjectName(QStringLiteral("mnuKeepExtension"));
    mnuKeepCapitals = mnuOptions->addAction(QStringLiteral("Keep words in &capitals"));
    mnuKeepCapitals->setObjectName(QStringLiteral("mnuKeepCapitals"));
    for (QAction* option : {mnuKeepExtension, mnuKeepCapitals})
        option->setCheckable(true);
    loadOptions();
    for (QAction* option : {mnuKeepExtension, mnuKeepCapitals})
        connect(option, &QAction::toggled, this, &MainWindow::saveOptions);
    mnuOptions->setToolTipsVisible(true);
    mnuKeepExtension->setToolTip(QStringLiteral("A file's extension, after its last dot, stays as it is written"));
    mnuKeepCapitals->setToolTip(
        QStringLiteral("Proper Case leaves words written in capitals (NASA, XIV) and writes McDonald, O'Neil"));

    mnuHelp = menuBar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));

    connect(mnuFile, &QMenu::aboutToShow, this, &MainWindow::refreshFileMenu);
    connect(mnuHelp, &QMenu::aboutToShow, this, &MainWindow::showHelp);
    connect(mnuRenameSelected, &QAction::triggered, this, &MainWindow::renameSelected);
    connect(mnuRenamedAll, &QAction::triggered, this, &MainWindow::renameAll);
    connect(mnuPreviewAll, &QAction::triggered, this, &MainWindow::previewRenameAll);
    connect(mnuPreviewSelected, &QAction::triggered, this, &MainWindow::previewRenameSelected);
    connect(mnuMRUClear, &QAction::triggered, this, &MainWindow::clearRecentFolders);
    connect(mnuUndo, &QAction::triggered, this, &MainWindow::undoLastRename);
    connect(mnuExit, &QAction::triggered, this, &MainWindow::exitProgram);
    connect(mnuAbout, &QAction::triggered, this, &MainWindow::showAbout);
}

// The window is used from the keyboard as well as with the mouse: the menu bar opens
// with Alt (and F10, as desktops have it) whatever the style, Escape stops a run, F1
// opens the quick help, and Tab follows the order of the task.
void MainWindow::createKeyboardAccess()
{
    menuBar->setStyle(AltKeyMenuBarStyle());
    menuBar->setAccessibleName(QStringLiteral("Menu bar"));
    for (QMenu* menu : {mnuFile, mnuFileSub, mnuOptions, mnuHelp})
        menu->setAccessibleName(menu->title().remove(u'&'));
    connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
            [this] { menuBar->setActiveAction(mnuFile->menuAction()); });
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &MainWindow::showHelp);
    m_cancelKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_cancelKey->setEnabled(false); // only while a run works
    connect(m_cancelKey, &QShortcut::activated, this, &MainWindow::stopRun);

    const std::initializer_list<QWidget*> taskOrder{
        Drive1,        cmdUpLevel,      Dir1,   File1,       optCASES[0], optCASES[1], optCASES[2],
        chkRenameFile, chkRenameFolder, Check1, cmdSELECTED, cmdALL,      ckTop,       txtDirectory};
    for (auto it = taskOrder.begin(); it + 1 != taskOrder.end(); ++it)
        setTabOrder(*it, *(it + 1));
    tabToSelectedCase();
}

// Tab reaches the case style at the option that is selected; the arrow keys move
// between the options, as they do in any group of them.
void MainWindow::tabToSelectedCase()
{
    for (QRadioButton* option : optCASES)
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

// ---------------------------------------------------------------- start and end

void MainWindow::showOpenFolder()
{
    txtDirectory->setText(DirectoryText(Dir1->Path()));
    m_folderToRename = Dir1->Path();
    m_cancelRequested = false;
}

void MainWindow::closeEvent(QCloseEvent* event)
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

void MainWindow::exitProgram()
{
    close();
    QApplication::closeAllWindows();
    if (endProcess)
        endProcess();
}

// ---------------------------------------------------------------- options and enabling

CaseStyle MainWindow::selectedCase() const
{
    for (int i = 0; i < 3; ++i)
        if (optCASES[i]->isChecked())
            return static_cast<CaseStyle>(i);
    return CaseStyle::None;
}

RunOptions MainWindow::currentOptions() const
{
    return {chkRenameFile->isChecked(), chkRenameFolder->isChecked(), selectedCase(), mnuKeepExtension->isChecked(),
            mnuKeepCapitals->isChecked()};
}

void MainWindow::renameFolderToggled()
{
    cmdSELECTED->setEnabled(chkRenameFolder->isChecked());
}

void MainWindow::onTopToggled()
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

void MainWindow::updateSelectedState()
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
            break;
        }
    }
    mnuPreviewSelected->setEnabled(mnuRenameSelected->isEnabled());
}

void MainWindow::resetRunDisplay()
{
    // Pointing the list at the folder re-reads it: no second read is needed.
    File1->setPath(Dir1->Path());
    txtDirectory->setText(DirectoryText(Dir1->Path()));
    m_notChanged.clear();
    m_filesCounted = 0;
    m_foldersCounted = 0;
    lblFolder->setText(QStringLiteral("Folders  : 0"));
    lblFiles->setText(QStringLiteral("Files  : 0"));
    setStatusText(QString());
    lblFolder->hide();
    lblFiles->hide();
}

void MainWindow::cancelSearch()
{
    m_cancelRequested = true;
}

void MainWindow::stopRun()
{
    m_cancelRequested = true;
    m_stopRequested = m_renaming;
}

void MainWindow::setStatusText(const QString& text)
{
    lblStatus->setText(text);
    // A screen reader reads the line's text; a blank line is still the status line.
    lblStatus->setAccessibleName(text.isEmpty() ? QStringLiteral("Status") : text);
}

void MainWindow::announceStatus(const QString& text)
{
    // A new name is told by itself; the same text again is told as if it were new, so
    // that each run's end is heard.
    if (lblStatus->text() != text || text.isEmpty()) {
        setStatusText(text);
        return;
    }
    QAccessibleEvent told(lblStatus, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&told);
}

// ---------------------------------------------------------------- other windows

void MainWindow::showHelp()
{
    if (m_services.showHelp)
        m_services.showHelp();
}

void MainWindow::showAbout()
{
    if (m_services.showAbout)
        m_services.showAbout();
}

} // namespace orvel
