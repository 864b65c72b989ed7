// The command line as a script meets it: how long the program takes to start and end
// (--version, and a run over an empty folder), and 100 000 files given as paths on
// standard input against the same files found by the walk of their folder. Each time is
// the median of its rounds, the two kinds of run alternated on identical copies; the
// journals go to a folder of the bench's own. Last lines: "cli_version_ms T",
// "cli_startup_ms T" (the run over an empty folder) and "cli_stdin_ratio R" (paths on
// standard input over the walk).
//
//   bench_command_line [--files 100000] [--rounds 3]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

QString g_program;
QProcessEnvironment g_environment;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Seconds from start to end of the program, its output to /dev/null; -1 when it failed.
double timed(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess program;
    program.setProcessEnvironment(g_environment);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    program.start(g_program, arguments);
    program.write(input);
    program.closeWriteChannel();
    program.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    return program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0 ? seconds : -1;
}

// A flat folder of `files` mixed-case names; the paths of its files, a line each.
QByteArray makeFolder(const QString& path, int files)
{
    QDir().mkpath(path);
    QByteArray paths;
    const QByteArray folder = QFile::encodeName(path);
    for (int i = 0; i < files; ++i) {
        const QByteArray file = folder + "/Photo Of The Day " + QByteArray::number(i) + ".JPG";
        ::close(::open(file.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        paths += file + '\n';
    }
    return paths;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const char* name, int fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
    };
    const int files = option("--files", 100000), rounds = option("--rounds", 3);
    g_program = QCoreApplication::applicationDirPath() + "/../orvel-file-rename";
    QTemporaryDir work(QDir::tempPath() + "/orvel-bench-XXXXXX");
    g_environment = QProcessEnvironment::systemEnvironment();
    g_environment.insert("XDG_STATE_HOME", work.filePath("state"));
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        g_environment.remove(name);

    std::vector<double> version, empty;
    QDir().mkpath(work.filePath("empty"));
    for (int i = 0; i < 21; ++i) {
        version.push_back(timed({"--version"}));
        empty.push_back(timed({"--lower", work.filePath("empty")}));
    }
    std::printf("start-up: --version %.1f ms, a run over an empty folder %.1f ms (median of 21)\n",
                median(version) * 1e3, median(empty) * 1e3);

    std::vector<double> walked, given;
    for (int round = 0; round < rounds; ++round) {
        makeFolder(work.filePath("walk"), files);
        const QByteArray paths = makeFolder(work.filePath("given"), files);
        const auto walk = [&] { walked.push_back(timed({"--lower", "--yes", work.filePath("walk")})); };
        const auto give = [&] { given.push_back(timed({"--lower", "--yes", "-"}, paths)); };
        // Which goes first alternates: a run leaves the disk busy writing its changes back.
        if (round % 2 == 0)
            walk(), give();
        else
            give(), walk();
        QDir(work.filePath("walk")).removeRecursively();
        QDir(work.filePath("given")).removeRecursively();
        QDir(work.filePath("state")).removeRecursively();
    }
    if (std::min(*std::min_element(walked.begin(), walked.end()), *std::min_element(given.begin(), given.end())) < 0)
        std::fprintf(stderr, "a run failed\n");
    std::printf("files %d  walked %.3f s  given on standard input %.3f s\n", files, median(walked), median(given));
    std::printf("cli_version_ms %.1f\n", median(version) * 1e3);
    std::printf("cli_startup_ms %.1f\n", median(empty) * 1e3);
    std::printf("cli_stdin_ratio %.3f\n", median(given) / median(walked));
    return 0;
}
