// Rename All through the real main window (offscreen: progress bar, counters and all)
// against a plain loop that lists each folder once and renames each file with
// renameat2, on identical generated trees. Prints, for each size, the files, both
// times, their ratio and the peak memory; the last line is "rename_all_ratio R" for
// the largest tree.

#include "engine/CaseConversion.h"
#include "main_window/frmMain.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/SettingsStore.h"
#include "platform/Volumes.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

using namespace orvel;

namespace {

// Answers every question with No, so a run never waits for a person.
class AnsweringMessageBoxes final : public MessageBoxes {
public:
    Button show(QWidget*, const QString&, const QString&, Icon, int, Button) override
    {
        ++shown;
        return No;
    }
    int shown = 0;
};

const char* const kWords[] = {"holiday PHOTO", "REPORT final", "my_file-name", "2ND try", "(copy) notes",
                              "Budget DRAFT", "scan", "INVOICE"};

// A tree of `files` files, four levels deep, every name in mixed case.
void makeTree(const std::string& root, int files)
{
    const int fanout = 6; // 6 + 36 + 216 + 1296 folders
    std::vector<std::string> folders;
    std::vector<std::string> level{root};
    ::mkdir(root.c_str(), 0755);
    for (int depth = 1; depth <= 4; ++depth) {
        std::vector<std::string> next;
        for (const std::string& parent : level)
            for (int i = 0; i < fanout; ++i) {
                std::string dir = parent + "/sub FOLDER " + std::to_string(depth) + char('A' + i);
                ::mkdir(dir.c_str(), 0755);
                next.push_back(dir);
            }
        folders.insert(folders.end(), next.begin(), next.end());
        level = std::move(next);
    }
    folders.push_back(root);
    for (int n = 0; n < files; ++n) {
        const std::string& dir = folders[size_t(n) % folders.size()];
        const std::string path = dir + "/" + kWords[n % 8] + " " + std::to_string(n) + (n % 3 ? ".TXT" : ".jpg");
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

// The plain loop: each folder listed once, each file renamed with renameat2, the
// folders entered depth first.
long long plainLoop(const std::string& folder)
{
    long long renamed = 0;
    std::vector<std::string> subfolders;
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            if (e->d_type == DT_DIR)
                subfolders.emplace_back(folder + "/" + e->d_name);
            else if (e->d_type == DT_REG)
                names.emplace_back(e->d_name);
        }
        ::closedir(dir);
    }
    for (const std::string& name : names) {
        const QByteArray converted = ConvertFileName(QString::fromStdString(name), CaseStyle::Proper).toUtf8();
        const std::string from = folder + "/" + name;
        const std::string to = folder + "/" + converted.toStdString();
        if (from == to || ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 1u /* RENAME_NOREPLACE */) == 0)
            ++renamed;
    }
    for (const std::string& sub : subfolders)
        renamed += plainLoop(sub);
    return renamed;
}

long peakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double measure(int files, QTemporaryDir& work, double* appSeconds, double* loopSeconds, int* failures)
{
    const std::string a = QFile::encodeName(work.filePath(QStringLiteral("app-%1").arg(files))).toStdString();
    const std::string b = QFile::encodeName(work.filePath(QStringLiteral("loop-%1").arg(files))).toStdString();
    makeTree(a, files);
    makeTree(b, files);
    ::sync();

    QElapsedTimer timer;
    timer.start();
    const long long looped = plainLoop(b);
    *loopSeconds = timer.nsecsElapsed() / 1e9;
    if (looped != files)
        std::fprintf(stderr, "plain loop renamed %lld of %d files\n", looped, files);

    AnsweringMessageBoxes messages;
    IniSettingsStore settings(work.filePath(QStringLiteral("config")));
    MainWindowServices services = MainWindowServices::host();
    services.messages = &messages;
    services.settings = &settings;
    services.startFolder = QString::fromStdString(a);
    frmMain window(services);
    window.show();
    window.optCASES[2]->setChecked(true);
    window.Check1->setChecked(true);
    window.chkRenameFolder->setChecked(true);
    window.chkRenameFile->setChecked(true);
    QCoreApplication::processEvents();

    timer.restart();
    window.cmdALL->click();
    *appSeconds = timer.nsecsElapsed() / 1e9;
    *failures = int(window.lstCantRename.size());
    if (window.lblFiles->text() != QStringLiteral("Files : %1").arg(files))
        std::fprintf(stderr, "run counted: %s\n", qPrintable(window.lblFiles->text()));
    return *appSeconds / *loopSeconds;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/orvel-bench-XXXXXX"));
    if (!work.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    double ratio = 0;
    for (int files : {10000, 100000}) {
        double appSeconds = 0, loopSeconds = 0;
        int failures = 0;
        ratio = measure(files, work, &appSeconds, &loopSeconds, &failures);
        std::printf("files %d  rename_all %.3f s  plain_loop %.3f s  ratio %.2f  not_changed %d  peak_memory %.1f MiB\n",
                    files, appSeconds, loopSeconds, ratio, failures, peakKiB() / 1024.0);
        std::fflush(stdout);
    }
    std::printf("rename_all_ratio %.2f\n", ratio);
    return 0;
}
