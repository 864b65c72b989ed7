// The main window: its controls, its menus, and its side of the rename runs.
#pragma once

#include "engine/RenameAll.h"
#include "engine/RenameSelected.h"
#include "engine/RunObserver.h"
#include "main_window/ClickLabel.h"
#include "main_window/DropLabel.h"
#include "main_window/FileListBox.h"
#include "main_window/FolderListBox.h"
#include "main_window/VolumeBox.h"
#include "progress_bar/MProgress.h"

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMimeData;
class QPushButton;
class QRadioButton;
class QShortcut;

namespace orvel {

struct MainWindowTestAccess;
class FileSystem;
class MessageBoxes;
class SettingsStore;
class Volumes;

// What the main window needs of the system; tests hand it doubles.
struct MainWindowServices {
    FileSystem* fs = nullptr;
    Volumes* volumes = nullptr;
    MessageBoxes* messages = nullptr;
    SettingsStore* settings = nullptr;
    QString startFolder; // where the lists open
    QString programFolder; // the folder that holds the program
    QString homeFolder; // where the lists open when the start folder cannot be opened
    // The quick help and the about box, which the application provides.
    std::function<void()> showHelp;
    std::function<void()> showAbout;
    // Where the runs' journals go, so that they can be undone, and the locks of their
    // trees; none when the journal folder cannot be used, `journalProblem` then says why.
    RunRecords records;
    QString journalProblem;
};

// The main window's controls, each named as its object is named, and the working
// values the runs keep. They are the window's own: only the window and its test see them.
struct MainWindowControls {
    // ---- visible controls
    VolumeBox* Drive1;
    QPushButton* cmdUpLevel;
    FolderListBox* Dir1;
    FileListBox* File1;
    QLabel* Label2;
    QLineEdit* txtNAME;
    QPushButton* cmdSELECTED;
    QPushButton* cmdALL;
    QLabel* lblFolder;
    QLabel* lblFiles;
    MProgress* ProgressBar1;
    QLabel* lblStatus;
    QCheckBox* ckTop;
    QLineEdit* txtDirectory;
    QGroupBox* Frame1;
    std::array<QRadioButton*, 3> optCASES;
    QCheckBox* chkRenameFile;
    QCheckBox* chkRenameFolder;
    QCheckBox* Check1;
    QGroupBox* frameDrop;
    DropLabel* Label1;
    ClickLabel* lblCancel; // lies below the visible client area

    // ---- working values that the window never shows
    QString m_folderToRename; // the folder that "Rename folder" renames under Rename Selected
    QList<NotChanged> m_notChanged;
    qint64 m_foldersCounted = 0; // the folders and files the last Rename All visited
    qint64 m_filesCounted = 0;

    // ---- menus
    QMenuBar* menuBar;
    QMenu* mnuFile;
    QAction* mnuRenameSelected;
    QAction* mnuRenamedAll;
    QAction* mnuPreviewAll;
    QAction* mnuPreviewSelected;
    QAction* mnuSP1;
    QMenu* mnuFileSub;
    std::array<QAction*, 4> mnuRecentSub{}; // indexes 1 to 3
    QAction* mnuSP2;
    QAction* mnuMRUClear;
    QAction* mnuSP3;
    QAction* mnuUndo;
    QAction* mnuExit;
    QMenu* mnuOptions;
    QAction* mnuKeepExtension;
    QAction* mnuKeepCapitals;
    QMenu* mnuHelp;
    QAction* mnuAbout;
};

// The main window. It owns all state of the application: the options, the current
// folder and the lists are its controls; the runs' results that it keeps are plain
// members. It hosts the rename runs as their observer.
class MainWindow
    : public QWidget
    , private MainWindowControls
    , private RunObserver {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The case style that the option buttons select now (None when none is).
    CaseStyle selectedCase() const;
    // "Rename file", "Rename folder", the case style and the Options menu as they are
    // ticked now.
    RunOptions currentOptions() const;

    void updateSelectedState();
    void resetRunDisplay();
    void addRecentFolder(const QString& folder);
    // After a folder was renamed: its recent entry, if it has one, takes the new text.
    void renameRecentFolder(const QString& oldText, const QString& newText);
    void loadRecentMenu();
    // The Options menu's choices, from the settings store and into it.
    void loadOptions();
    void saveOptions();
    void reportNotChanged();
    // Says so when another run holds the tree's lock; true when a run was refused for that.
    bool refusedAsBusy(const QString& busyWith);
    void enableNavigation();

    // True while Rename All runs (it lets window events through).
    bool isRunning() const { return m_running; }

    // A folder that a later start of the program names ("Open With" on a folder in a
    // file manager): opened as a dropped folder is. Refused while a run works or a
    // question waits for its answer. True when the folder is open now.
    bool openHandedOverFolder(const QString& folder);

    // How "Exit" ends the process; tests replace it.
    std::function<void()> endProcess;

    const MainWindowServices& services() const { return m_services; }

    // What the last run left: the entries it could not rename and the files it counted.
    const QList<NotChanged>& notChanged() const { return m_notChanged; }
    qint64 filesCounted() const { return m_filesCounted; }

public Q_SLOTS:
    void showOpenFolder();
    void exitProgram();
    void renameFolderToggled();
    void onTopToggled();
    void renameAll();
    void renameSelected();
    void previewRenameAll();
    void previewRenameSelected();
    void undoLastRename();
    void cancelSearch();
    // Escape during a run: the search is cut short, as by the cancel link; once the run
    // renames, it stops after the rename in hand.
    void stopRun();
    void refreshFileMenu();
    void showHelp();
    void showAbout();
    void openRecentFolder(int index);
    void clearRecentFolders();
    void volumeChanged();
    void folderChanged();
    void folderClicked();
    void upOneLevel();
    void fileClicked();
    void fileDoubleClicked();
    void folderDropped(const QMimeData* data);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The window's test drives the controls and reads the working values directly.
    friend struct MainWindowTestAccess;

    void createControls();
    void createMenus();
    void createKeyboardAccess();
    void tabToSelectedCase();
    void syncFolder();
    void setStatusText(const QString& text);
    // The status line at the end of a run, told to a screen reader even when it reads as
    // it did.
    void announceStatus(const QString& text);
    // Whether "Rename file" or "Rename folder" is ticked; the user is told when neither is.
    bool somethingTicked();
    // The jobs of the two rename commands as the window stands now.
    RenameAllJob renameAllJob() const;
    RenameSelectedJob renameSelectedJob() const;

    // A run's start and end as the window sees them: the controls disabled, the display
    // reset; at the end, true when a close arrived meanwhile and the window is closed now.
    void beginRun();
    bool endRun();
    void setRunLocked(bool locked);
    void showOutcome(const RenameAllOutcome& out);
    void followRenamedFolder(const QString& newPath);

    // ---- the runs' observer
    void status(const QString& text) override;
    void progressMax(qint64 max) override;
    void progressValue(qint64 value) override;
    void workingName(const QString& name) override;
    void letEventsThrough() override;
    bool cancelRequested() override { return m_cancelRequested; }
    bool stopRequested() override { return m_closePending || m_stopRequested; }
    void journalFailed(const QString& reason) override;
    bool confirmSystemFolder(const QString& folder, FolderRole role) override;
    void showProgress();
    // "Undo Last Rename" enabled when some run can be undone and none is running;
    // `journalsChanged` when a journal was written to without a change of names.
    // `runUndoable`: the run that just ended can be undone, as its outcome says.
    void updateUndoState(bool journalsChanged = false, bool runUndoable = false);

    MainWindowServices m_services;
    QWidget* m_client;
    bool m_running = false; // a Rename All is in progress
    bool m_closePending = false; // the window was closed while it ran
    bool m_cancelRequested = false; // the cancel link was clicked
    bool m_stopRequested = false; // Escape was pressed while the run renamed
    bool m_renaming = false; // the run is past its search
    QStringList m_journalsSeen; // the journals updateUndoState last read
    bool m_undoable = false; // and whether one of them could be undone
    QList<QPair<QObject*, bool>> m_lockedControls; // what a run disabled, and whether it was enabled
    qint64 m_progressValue = 0; // the run's file count, and what the bar shows of it
    qint64 m_progressShown = 0;
    qint64 m_progressMax = 0;
    qint64 m_progressStep = 1; // files per visible step of the bar
    QString m_workingName; // the file in hand, shown where the run lets events through
    QShortcut* m_cancelKey = nullptr; // Escape during a run
};

} // namespace orvel
