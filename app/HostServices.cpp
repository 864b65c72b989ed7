// The real system behind the main window: file system, volumes, boxes, stores and folders.

#include "app/HostServices.h"

#include "about/AboutWindows.h"
#include "main_window/HostMessageBoxes.h"
#include "platform/FileSystem.h"
#include "platform/JournalFiles.h"
#include "platform/NameCodec.h"
#include "platform/SettingsStore.h"
#include "platform/TreeLock.h"
#include "platform/Volumes.h"

#include <QCoreApplication>

namespace orvel {

MainWindowServices HostServices()
{
    MainWindowServices s;
    s.fs = &hostFileSystem();
    s.volumes = &hostVolumes();
    s.messages = &hostMessageBoxes();
    s.settings = &hostSettingsStore();
    s.startFolder = CurrentFolder();
    s.programFolder = QCoreApplication::applicationDirPath();
    s.homeFolder = HomeFolder();
    s.showHelp = ShowQuickHelp;
    s.showAbout = ShowAbout;
    // One store for the process, opened at the first need.
    static QString problem;
    static const std::unique_ptr<JournalFiles> journals = OpenJournalFiles(JournalFolder(), &problem);
    // Without journals too: a run that cannot be undone is still kept off another's tree.
    static const std::unique_ptr<TreeLocks> locks = TreeLocks::open(JournalFolder(), nullptr);
    s.records = {journals.get(), locks.get()};
    s.journalProblem = problem;
    return s;
}

} // namespace orvel
