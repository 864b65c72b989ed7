// Reading the command line, then a run without a window or the main window of the session.

#include "app/Startup.h"

#include "app/CommandLine.h"
#include "app/HostServices.h"
#include "engine/UndoRun.h"
#include "main_window/HostMessageBoxes.h"
#include "platform/AppIcon.h"
#include "platform/NameCodec.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPointer>
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

// Qt's own options that take the next argument as their value.
constexpr const char* kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry", "geometry", "qwindowtitle",
    "title",    "qwindowicon",        "icon",          "session", "display",         "name",     "visual",
    "style",    "stylesheet",         "qmljsdebugger"};

void DescribeCommandLine(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Changes the letter case of file and folder names. Without --lower, --upper, --proper, --undo or "
        "--list-runs it opens its window at FOLDER; with one of them it works without a window.\n\n"
        "Output: \"OLD -> NEW\" on standard output for each name renamed, \"OLD -> NEW: not changed: REASON\" "
        "on standard error for each one that is not, in the order of the run; with --dry-run \"OLD -> NEW: would "
        "rename\" and \"... would not change: ...\". Paths are shown as given (relative stays relative). A "
        "backslash, a control character and a byte that is not UTF-8 are written as \\\\, \\n, \\t, \\r or "
        "\\xHH.\n\n"
        "Exit status: 0 all renamed (or nothing to do), 1 some names not changed, 2 usage error, 3 a path (or the "
        "journals, or the run to undo) cannot be opened, 4 refused (a system folder or home, or --undo, without "
        "--yes), 5 another run is renaming the same tree, 6 the list could not be written, 128+N ended by signal N "
        "(130 Ctrl+C, 143 SIGTERM) after the rename in hand.\n\n"
        "Examples:\n"
        "  orvel-file-rename --lower --subfolders Photos\n"
        "  orvel-file-rename --upper --match '*.jpg' --match '*.png' .\n"
        "  find . -name '*.JPG' -print0 | orvel-file-rename --lower -0 -\n"
        "  orvel-file-rename --proper --dry-run --json . | jq -r 'select(.result == \"would rename\") | .new'\n"
        "  orvel-file-rename --list-runs; orvel-file-rename --undo 42-1207 --yes"));
    // The program's own help; Qt's --help-all is still taken, as the same.
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help.")});
    QCommandLineOption helpAll(QStringLiteral("help-all"));
    helpAll.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(helpAll);
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("path"),
        QStringLiteral("Folders to rename in and files to rename: paths or file: URLs; '-' reads them from standard "
                       "input. The window opens one folder (default: the working folder). With --undo: the id of "
                       "the run to take back."),
        QStringLiteral("[path...]"));
    DescribeRunOptions(parser);
    // Qt's own options, which QApplication takes out of the command line; they are read
    // here first, before there is a QApplication, and so must be known to be accepted.
    // Qt writes them with one dash ("-platform offscreen") or two.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto qtOption = [&parser](const char* name, const QString& valueName) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), valueName);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    };
    for (const char* name : kQtOptionsWithValue)
        qtOption(name, QStringLiteral("value"));
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"})
        qtOption(name, QString());
}

// The arguments that are not options, as the bytes the shell passed: the parser reads
// them as text, which cannot hold a name that is not UTF-8.
// The value of an option ("-platform offscreen") is none of them.
QList<QByteArray> RawPositionalArguments(int argc, char** argv)
{
    QList<QByteArray> found;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (optionsEnded || !arg.startsWith('-') || arg == "-") {
            found << arg;
        } else if (!arg.contains('=')) {
            const QByteArray name = arg.mid(arg.startsWith("--") ? 2 : 1);
            for (const char* withValue : kQtOptionsWithValue)
                i += name == withValue;
            i += name == "match";
        }
    }
    return found;
}

} // namespace

bool StartUp(SingleInstance& instance, MessageBoxes& messages, const QString& startFolder, bool folderNamed)
{
    if (instance.tryAcquire() == SingleInstance::Result::HeldByOther) {
        // "Open With" on a folder while the program runs: the running window opens it.
        const SingleInstance::HandOver handedOver =
            folderNamed ? instance.handOverFolder(startFolder) : SingleInstance::HandOver::Unreachable;
        if (handedOver == SingleInstance::HandOver::Opened)
            return false;
        if (handedOver == SingleInstance::HandOver::Unreachable)
            instance.activateRunningInstance();
        messages.show(
            nullptr, QStringLiteral("This program is already running\r\n\r\nCheck the system tray or your taskbar"),
            QStringLiteral("Orvel File Rename"), MessageBoxes::Icon::Information, MessageBoxes::Ok, MessageBoxes::Ok);
        return false;
    }
    MainWindowServices services = HostServices();
    services.startFolder = startFolder;
    // A run that died with a case-only rename half done is finished before anything
    // else looks at its folder.
    if (services.records.journals)
        FinishInterruptedRuns(*services.records.journals, *services.fs);
    auto* window = new MainWindow(services);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(&instance, &SingleInstance::activationRequested, window, [window] { BringForward(window); });
    instance.setFolderHandler([window = QPointer<MainWindow>(window)](const QString& folder) {
        return window && window->openHandedOverFolder(folder);
    });
    window->show();
    return true;
}

QString PathOfArgument(const QByteArray& argument)
{
    QString path;
    if (argument.startsWith("file:/") || argument.startsWith("FILE:/")) {
        // Bytes outside printable ASCII are escaped first: QUrl would read them as
        // UTF-8, and a blank would end the address.
        QByteArray escaped;
        for (const char c : argument)
            escaped += uchar(c) > 0x20 && uchar(c) < 0x7F ? QByteArray(1, c) : '%' + QByteArray(1, c).toHex().toUpper();
        path = LocalPathOfUrl(QUrl::fromEncoded(escaped));
    } else {
        path = DecodeName(argument);
    }
    if (!path.isEmpty() && !path.startsWith(u'/')) {
        const QString working = CurrentFolder();
        path = working.isEmpty() ? QString() : working + u'/' + path;
    }
    // The window shows the path as it is, so "sub/../x/" becomes "x".
    return path.isEmpty() ? path : QDir::cleanPath(path);
}

QString StartFolder(const std::optional<QByteArray>& argument, QByteArray* complaint)
{
    QString working = CurrentFolder();
    if (!argument)
        return working;

    QString path = PathOfArgument(*argument);
    struct stat st;
    if (!path.isEmpty() && ::stat(EncodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return path;
    if (complaint)
        *complaint =
            "orvel-file-rename: " + ShownText(DecodeName(*argument)) + ": not a folder; opening the working folder\n";
    return working;
}

int Main(int argc, char** argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Orvel File Rename"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(ORVEL_VERSION_MAJOR).arg(ORVEL_VERSION_MINOR).arg(ORVEL_VERSION_PATCH));
    // The command line is read before the window system is reached: --help, --version
    // and a usage error need no display.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << DecodeName(QByteArrayView(argv[i]));
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    QString usageError;
    const bool parsed = parser.parse(args);
    const bool withoutWindow = parsed && UsesRunOptions(parser);
    if (!parsed)
        usageError = parser.errorText();
    else if (withoutWindow)
        usageError = RunUsageError(parser, parser.positionalArguments().size());
    else if (parser.positionalArguments().size() > 1)
        usageError = QStringLiteral("only one folder can be given");
    if (!usageError.isEmpty()) {
        std::fprintf(stderr, "orvel-file-rename: %s\nTry 'orvel-file-rename --help' for more information.\n",
                     ShownText(usageError).constData());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        QCoreApplication core(argc, argv);
        // The usage line names the program by its name, however it was started.
        QString help = parser.helpText();
        help.replace(0, help.indexOf(u'\n'), QStringLiteral("Usage: orvel-file-rename [options] [path...]"));
        std::fputs(help.toUtf8().constData(), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        QCoreApplication core(argc, argv);
        parser.process(core); // prints the answer and ends the process
        return 0;
    }
    if (withoutWindow) {
        // A run for a script, a server or a cron job: no display is ever reached.
        QCoreApplication core(argc, argv);
        return RunFromCommandLine(parser, RawPositionalArguments(argc, argv));
    }

    // QApplication takes its own options (-platform and the like) out of argv.
    QApplication app(argc, argv);
    QApplication::setDesktopFileName(QStringLiteral("com.example.orvel_file_rename"));
    QApplication::setWindowIcon(ApplicationIcon());
    const QList<QByteArray> folders = RawPositionalArguments(argc, argv);

    QByteArray complaint;
    const QString startFolder =
        StartFolder(folders.isEmpty() ? std::nullopt : std::optional(folders.first()), &complaint);
    std::fputs(complaint.constData(), stderr);

    SingleInstance instance;
    // A FOLDER that is no folder names none: the working folder is not handed over.
    if (!StartUp(instance, hostMessageBoxes(), startFolder, !folders.isEmpty() && complaint.isEmpty()))
        return 0;
    return app.exec();
}

} // namespace orvel
