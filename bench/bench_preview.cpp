// The preview through the real window against the command line's dry run. On a generated
// tree (bench_support.h; Proper Case, files, folders and sub-folders) it opens File > Preview
// Rename All in the window and measures how long the first rows take to show, how long the
// whole plan takes, the window's peak memory with every row listed, and the longest time
// the window went without handling its events (a timer that should fire every 5 ms); then
// it times `--dry-run` of the same tree from the command line. Each measurement runs in a
// process of its own, each time the median of the rounds. Last lines, for the largest size:
// "preview_first_rows_s S", "preview_ratio R" (the preview's time over the dry run's),
// "preview_peak_memory_mib M" and "preview_longest_event_gap_ms G".
//
//   bench_preview [--sizes 100000,1000000] [--rounds 3]

#include "app/HostServices.h"
#include "bench_support.h"
#include "main_window/PreviewDialog.h"
#include "platform/SettingsStore.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace orvel;
using orvel::bench::measuredApart;
using orvel::bench::median;
using orvel::bench::peakKiB;

namespace {

// One measurement in this process: prints "seconds first_rows_seconds peak_kib longest_gap_ms rows".
int measureHere(const QString& mode, const QString& folder)
{
    QElapsedTimer timer;
    if (mode == "--cli-dry") {
        QProcess program;
        program.setStandardOutputFile(QProcess::nullDevice());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        timer.start();
        program.start(QCoreApplication::applicationDirPath() + "/../orvel-file-rename",
                      {"--dry-run", "--proper", "--files", "--folders", "--subfolders", "--yes", folder});
        program.waitForFinished(-1);
        std::printf("%.3f 0 0 0 0\n", timer.nsecsElapsed() / 1e9);
        return 0;
    }
    QTemporaryDir config;
    IniSettingsStore settings(config.path());
    MainWindowServices services = HostServices();
    services.settings = &settings;
    services.startFolder = folder;
    MainWindow window(services);
    window.show();
    window.findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
    window.findChild<QCheckBox*>(QStringLiteral("chkRenameFolder"))->setChecked(true);
    QCoreApplication::processEvents();

    qint64 gapMs = 0, firstRowsNs = -1, plannedNs = -1;
    long peak = 0;
    int rows = 0;
    QElapsedTimer sinceTick;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        gapMs = std::max(gapMs, sinceTick.restart());
        auto* dialog = window.findChild<PreviewDialog*>();
        if (!dialog)
            return;
        const QAbstractItemModel* model = dialog->findChild<QTableView*>(QStringLiteral("tblPreview"))->model();
        if (firstRowsNs < 0 && model->rowCount() > 0)
            firstRowsNs = timer.nsecsElapsed();
        if (dialog->planned() && plannedNs < 0) {
            plannedNs = timer.nsecsElapsed();
            rows = model->rowCount();
            // Every row listed and shown once: the window's memory at its fullest.
            QCoreApplication::processEvents();
            peak = peakKiB();
            dialog->findChild<QPushButton*>(QStringLiteral("cmdClose"))->click();
        }
    });
    tick.start(5);
    sinceTick.start();
    timer.start();
    window.findChild<QAction*>(QStringLiteral("mnuPreviewAll"))->trigger();
    std::printf("%.3f %.3f %ld %lld %d\n", plannedNs / 1e9, firstRowsNs / 1e9, peak, static_cast<long long>(gapMs),
                rows);
    return 0;
}

struct Measured {
    double seconds = 0, firstRows = 0, peakMiB = 0;
    qint64 gapMs = 0, rows = 0;
};

Measured measureApart(const QString& mode, const QString& folder)
{
    const QStringList f = measuredApart(mode, folder);
    if (f.size() < 5)
        return {};
    return {f[0].toDouble(), f[1].toDouble(), f[2].toDouble() / 1024.0, f[3].toLongLong(), f[4].toLongLong()};
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 3 && (args[1] == "--preview" || args[1] == "--cli-dry"))
        return measureHere(args[1], args[2]);

    // A million files take minutes to make and plan on a small machine: measured when
    // asked for (--sizes 1000000).
    QList<int> sizes{100000};
    int rounds = 3;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--sizes") {
            sizes.clear();
            for (const QString& s : args[i + 1].split(','))
                sizes << s.toInt();
        } else if (args[i] == "--rounds") {
            rounds = args[i + 1].toInt();
        }
    }
    QTemporaryDir work(QDir::tempPath() + "/orvel-bench-XXXXXX");
    Measured last;
    double ratio = 0;
    for (const int files : sizes) {
        const QString tree = work.filePath("Tree");
        bench::makeTree(QFile::encodeName(tree).toStdString(), files);
        std::vector<double> preview, firstRows, dry;
        Measured worst;
        for (int round = 0; round < rounds; ++round) {
            // Which goes first alternates: the second finds the tree's folders cached.
            Measured d, p;
            if (round % 2 == 1)
                d = measureApart("--cli-dry", tree);
            p = measureApart("--preview", tree);
            if (round % 2 == 0)
                d = measureApart("--cli-dry", tree);
            preview.push_back(p.seconds);
            firstRows.push_back(p.firstRows);
            dry.push_back(d.seconds);
            worst.peakMiB = std::max(worst.peakMiB, p.peakMiB);
            worst.gapMs = std::max(worst.gapMs, p.gapMs);
            worst.rows = p.rows;
        }
        QDir(tree).removeRecursively();
        ratio = median(preview) / median(dry);
        last = {median(preview), median(firstRows), worst.peakMiB, worst.gapMs, worst.rows};
        std::printf("files %d  preview %.3f s (%lld rows)  first_rows %.3f s  dry_run %.3f s  ratio %.3f  "
                    "peak_memory %.1f MiB  longest_event_gap %lld ms\n",
                    files, last.seconds, static_cast<long long>(last.rows), last.firstRows, median(dry), ratio,
                    last.peakMiB, static_cast<long long>(last.gapMs));
        std::fflush(stdout);
    }
    std::printf("preview_first_rows_s %.3f\n", last.firstRows);
    std::printf("preview_ratio %.3f\n", ratio);
    std::printf("preview_peak_memory_mib %.1f\n", last.peakMiB);
    std::printf("preview_longest_event_gap_ms %lld\n", static_cast<long long>(last.gapMs));
    return 0;
}
