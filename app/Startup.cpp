#include "app/Startup.h"

#include "app/HostServices.h"
#include "main_window/HostMessageBoxes.h"
#include "platform/AppIcon.h"
#include "platform/NameCodec.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QUrl>

#include <cstdio>
#include <sys/stat.h>

namespace orvel {

namespace {

void BringForward(QWidget* window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

void DescribeCommandLine(QCommandLineParser& parser)
{
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("folder"),
        QStringLiteral("The folder to open: a path or a file: URL (default: the working folder)."),
        QStringLiteral("[folder]"));
}

// The arguments that are not options, as the bytes the shell passed: the parser reads
// them as text, which cannot hold a name that is not UTF-8.
QList<QByteArray> RawPositionalArguments(int argc, char** argv)
{
    QList<QByteArray> found;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (!optionsEnded && arg == "--")
            optionsEnded = true;
        else if (optionsEnded || !arg.startsWith('-') || arg == "-")
            found << arg;
    }
    return found;
}

// --help and --version are answered without a window, so they work where no display is.
bool AsksForHelpOrVersion(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << DecodeName(QByteArrayView(argv[i]));
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    parser.parse(args);
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))
        || parser.isSet(QStringLiteral("version"));
}

} // namespace

bool StartUp(SingleInstance& instance, MessageBoxes& messages, const QString& startFolder)
{
    if (instance.tryAcquire() == SingleInstance::Result::HeldByOther) {
        instance.activateRunningInstance();
        messages.show(
            nullptr, QStringLiteral("This program is already running\r\n\r\nCheck the system tray or your taskbar"),
            QStringLiteral("Orvel File Rename"), MessageBoxes::Icon::Information, MessageBoxes::Ok, MessageBoxes::Ok);
        return false;
    }
    MainWindowServices services = HostServices();
    services.startFolder = startFolder;
    auto* window = new MainWindow(services);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(&instance, &SingleInstance::activationRequested, window, [window] { BringForward(window); });
    window->show();
    return true;
}

QString StartFolder(const std::optional<QByteArray>& argument, QByteArray* complaint)
{
    QString working = CurrentFolder();
    if (!argument)
        return working;

    QString path;
    if (argument->startsWith("file:/") || argument->startsWith("FILE:/")) {
        // Bytes outside printable ASCII are escaped first: QUrl would read them as
        // UTF-8, and a blank would end the address.
        QByteArray escaped;
        for (const char c : *argument)
            escaped += uchar(c) > 0x20 && uchar(c) < 0x7F ? QByteArray(1, c) : '%' + QByteArray(1, c).toHex().toUpper();
        path = LocalPathOfUrl(QUrl::fromEncoded(escaped));
    } else {
        path = DecodeName(*argument);
    }
    if (!path.isEmpty() && !path.startsWith(u'/'))
        path = working.isEmpty() ? QString() : working + u'/' + path;
    // The window shows the path as it is, so "sub/../x/" becomes "x".
    if (!path.isEmpty())
        path = QDir::cleanPath(path);

    struct stat st;
    if (!path.isEmpty() && ::stat(EncodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return path;
    if (complaint) {
        QByteArray shown = *argument;
        for (char& c : shown)
            if (uchar(c) < 0x20)
                c = '?';
        *complaint = "orvel-file-rename: " + shown + ": not a folder; opening the working folder\n";
    }
    return working;
}

int Main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Orvel File Rename"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(ORVEL_VERSION_MAJOR).arg(ORVEL_VERSION_MINOR).arg(ORVEL_VERSION_PATCH));
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication core(argc, argv);
        parser.process(core); // prints the answer and ends the process
        return 0;
    }

    // QApplication takes its own options (-platform and the like) out of argv.
    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("com.example.orvel_file_rename"));
    QApplication::setWindowIcon(ApplicationIcon());
    parser.process(app); // refuses unknown options as every Qt program does
    const QList<QByteArray> folders = RawPositionalArguments(argc, argv);
    if (folders.size() > 1) {
        std::fputs("orvel-file-rename: only one folder can be given\n", stderr);
        return 1;
    }

    QByteArray complaint;
    const QString startFolder =
        StartFolder(folders.isEmpty() ? std::nullopt : std::optional(folders.first()), &complaint);
    std::fputs(complaint.constData(), stderr);

    SingleInstance instance;
    if (!StartUp(instance, hostMessageBoxes(), startFolder))
        return 0;
    return app.exec();
}

} // namespace orvel
