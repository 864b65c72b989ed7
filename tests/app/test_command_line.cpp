// Runs from the command line, as a script makes them: the real program, without a
// display, on trees of real files; its journals and runtime files in folders of the
// test's own.

#include "platform/FileSystem.h"
#include "platform/NameCodec.h"
#include "platform/TreeLock.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempTree.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvel;
using namespace orvel::test;

namespace {

// A row of unreadableFolder.
struct Locked {
    QStringList tree;
    int mode;
    QStringList arguments, out, err;
};

// A row of stoppedFromOutside.
struct Stop {
    QString output;
    int read, files, signal, status, error;
};

struct Ran {
    int status = -1;
    QByteArray out, err;
};

// A temporary folder for the trees ("t" below it), a state folder for the journals and
// a runtime folder, and the program run with them and with no display at all.
struct Program {
    TempDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::function<void()> inChild; // in the program's process, before the program starts

    // In the temporary folder, or in memory (tmpfs) where a tree is large: where making
    // and removing a file costs a disk write, tens of thousands of them take long.
    explicit Program(bool inMemory = false)
        : dir(inMemory && QFileInfo("/dev/shm").isWritable() ? QStringLiteral("/dev/shm/orvel-test-XXXXXX")
                                                             : QDir::tempPath() + "/orvel-test-XXXXXX")
    {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        environment.insert("XDG_STATE_HOME", path("state"));
        environment.insert("XDG_RUNTIME_DIR", path("runtime"));
        environment.insert("HOME", path("home"));
        QDir().mkpath(path("runtime"));
        QDir().mkpath(path("home"));
    }

    QString path(const QString& relative = {}) const
    {
        return relative.isEmpty() ? dir.path() : dir.filePath(relative);
    }

    // In the temporary folder: a relative path given is below it.
    void start(QProcess& program, QStringList arguments) const
    {
        arguments.replaceInStrings("@", path());
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(path());
        if (inChild)
            program.setChildProcessModifier(inChild);
        program.start(ORVEL_PROGRAM, arguments);
    }

    Ran run(const QStringList& arguments, const QByteArray& input = {}) const
    {
        QProcess program;
        start(program, arguments);
        program.write(input);
        program.closeWriteChannel();
        if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit)
            return {};
        return {program.exitCode(), program.readAllStandardOutput(), program.readAllStandardError()};
    }

    // "t", holding `files` empty files "PHOTO n.JPG": far more names than a tree of
    // makeTree's, made without a look at each.
    bool photos(int files) const
    {
        const QByteArray folder = EncodeName(path("t"));
        if (!QDir().mkpath(path("t")))
            return false;
        for (int n = 0; n < files; ++n)
            ::close(::creat(folder + "/PHOTO " + QByteArray::number(n) + ".JPG", 0644));
        return true;
    }

    // The output with the temporary folder written as "@".
    QStringList lines(const QByteArray& out) const
    {
        QString text = DecodeName(out);
        return text.replace(path(), "@").split('\n', Qt::SkipEmptyParts);
    }
};

// The paths below `root`, dot-names included; for trees too large to read file by file.
QStringList names(const QString& root)
{
    QStringList found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root.toStdString()))
        found << QString::fromStdString(entry.path().string()).mid(root.size() + 1);
    found.sort();
    return found;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The exit status says how the run went, and standard error why it did not go.
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("tree"); // below the temporary folder, as makeTree lays it out
        QTest::addColumn<QStringList>("arguments"); // "@" is the temporary folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("err"); // how standard error begins
        const auto row = [](const char* name, const QStringList& tree, const QStringList& arguments, int status,
                            const QStringList& out, const QString& err = {}) {
            QTest::newRow(name) << tree << arguments << status << out << err;
        };
        const QStringList photos{"t/IMG 1.JPG=1", "t/img 2.jpg=2"}, home{"home/NOTES.TXT="};
        const QString name = "orvel-file-rename: ";
        // The command line is read before a display would be reached: an answer or a
        // usage error needs none.
        row("unknown option", photos, {"--bogus"}, 2, {}, name + "Unknown option 'bogus'.\n");
        // "--" ends the options: what follows are folders however they begin, one at most.
        row("two folders after the end of options", photos, {"--", "-a", "-b"}, 2, {},
            name + "only one folder can be given\n");
        // Qt's own options are taken, their values are no folder (and the run is as without them).
        row("after Qt's options", photos, {"-platform", "offscreen", "-reverse", "--lower", "@/t"}, 0,
            {"@/t/IMG 1.JPG -> @/t/img 1.jpg"});
        row("the options", {"t/NASA report v2.PDF=", "t/mcdonald's BBQ.txt="},
            {"--proper", "--keep-extension", "--keep-capitals", "@/t"}, 0,
            {"@/t/mcdonald's BBQ.txt -> @/t/McDonald's BBQ.txt", "@/t/NASA report v2.PDF -> @/t/NASA Report V2.PDF"});
        row("two case styles", photos, {"--lower", "--upper", "@/t"}, 2, {},
            name + "only one of --lower, --upper, --proper, --undo and --list-runs can be given\n");
        row("no path", photos, {"--proper"}, 2, {}, name + "a folder or file is needed");
        row("a run option alone", photos, {"--json", "@/t"}, 2, {}, name + "one of --lower");
        row("quiet and verbose", photos, {"-q", "--verbose", "--lower", "@/t"}, 2, {},
            name + "--quiet and --verbose cannot be given together\n");
        // A path that names nothing is said; the others are renamed all the same.
        row("a path that is not there", photos, {"--lower", "@/t/GONE", "@/t"}, 3, {"@/t/IMG 1.JPG -> @/t/img 1.jpg"},
            name + "@/t/GONE: cannot be opened: No such file or directory\n");
        // The window would ask about a home; here no one can answer, so --yes does.
        row("a home without --yes", home, {"--folders", "--files", "--lower", "@/home"}, 4, {},
            name + "@/home is the home folder of a user; nothing was renamed");
        row("a home with --yes", home, {"--yes", "--lower", "@/home"}, 0, {"@/home/NOTES.TXT -> @/home/notes.txt"});
        row("nothing to undo", photos, {"--undo", "--yes"}, 0, {}, name + "nothing to undo\n");
        row("an undo without --yes", photos, {"--undo"}, 4, {},
            name + "this would undo the renaming of 2 names in @/t;");
        row("an undo of a run not kept", photos, {"--undo", "7-1", "--yes"}, 3, {},
            name + "no kept run is called 7-1; --list-runs lists them\n");
        row("an undo with an option of the run", photos, {"--undo", "--keep-extension"}, 2, {},
            name + "--undo takes back or lists whole runs: --keep-extension does not apply\n");
    }

    void exitStatus()
    {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        Program p;
        QVERIFY(makeTree(p.path(), tree));
        if (arguments.first() == "--undo" && status > 2)
            QCOMPARE(p.run({"--proper", "@/t"}).status, 0); // a run to undo
        const QString folder = tree.first().section('/', 0, 0);
        const QStringList before = readTree(p.path(folder));
        const Ran ran = p.run(arguments);
        QCOMPARE(ran.status, status);
        QCOMPARE(p.lines(ran.out), out);
        if (err.isEmpty())
            QCOMPARE(ran.err, QByteArray());
        else
            QVERIFY2(DecodeName(ran.err).replace(p.path(), "@").startsWith(err), ran.err.constData());
        if (status > 1 && out.isEmpty()) // refused: nothing at all was renamed
            QCOMPARE(readTree(p.path(folder)), before);
    }

    // A dry run changes nothing, not a time stamp, and lists exactly what the run then
    // does, in the same order, with the same failures. (What the undo puts back is the
    // engine's to test.)
    void dryRunThenRun()
    {
        Program p;
        QVERIFY(makeTree(p.path(),
                         {"t/Holiday PHOTO.JPG=h", "t/A.TXT=A", "t/a.txt=a", DecodeName("t/R\xe9SUM\xe9.DOC=r"),
                          "t/two\nLINES \"Q\".TXT=n", "t/.HIDDEN=x", "t/SUB/DEEP/X.Y=x", "t/SUB/Z.TXT=z"}));
        const QStringList arguments{"--lower", "--files", "--folders", "--subfolders", "@/t"};
        const QStringList times = stamps(p.path());
        const Ran planned = p.run(QStringList{"--dry-run"} + arguments);
        QCOMPARE(planned.status, 1);
        QCOMPARE(stamps(p.path()), times);
        QVERIFY(!QFileInfo::exists(p.path("state")));
        // Nor does a dry-run undo make the journal folder: there is nothing to undo yet.
        const Ran nothing = p.run({"--undo", "--dry-run"});
        QCOMPARE(QString::number(nothing.status) + ' ' + nothing.err, "0 orvel-file-rename: nothing to undo\n");
        QVERIFY(!QFileInfo::exists(p.path("state")));

        const Ran ran = p.run(arguments);
        QCOMPARE(ran.status, 1);
        // The plan says "would", the run what it did: otherwise the same lines.
        QCOMPARE(QByteArray(planned.out).replace(": would rename\n", "\n"), ran.out);
        QCOMPARE(QByteArray(planned.err).replace("would not change", "not changed"), ran.err);
        QCOMPARE(p.lines(ran.err), QStringList{"@/t/A.TXT -> @/t/a.txt: not changed: File exists"});
        QCOMPARE(p.lines(ran.out),
                 (QStringList{"@/t/Holiday PHOTO.JPG -> @/t/holiday photo.jpg",
                              "@/t/R\\xe9SUM\\xe9.DOC -> @/t/r\\xe9sum\\xe9.doc",
                              "@/t/two\\nLINES \"Q\".TXT -> @/t/two\\nlines \"q\".txt", "@/t/SUB -> @/t/sub",
                              "@/t/sub/Z.TXT -> @/t/sub/z.txt", "@/t/sub/DEEP -> @/t/sub/deep",
                              "@/t/sub/deep/X.Y -> @/t/sub/deep/x.y"}));
    }

    // Paths given one after the other: the plan of each knows what those before it
    // renamed, as the run does. The file renamed to "sub" first takes that name from the
    // folder.
    void dryRunOfSeveralPaths()
    {
        Program p;
        QVERIFY(makeTree(p.path(), {"t/Sub=s", "t/SUB/Z.TXT=z"}));
        const QStringList arguments{"--lower", "--files", "--folders", "@/t", "@/t/SUB"};
        const Ran planned = p.run(QStringList{"--dry-run"} + arguments);
        const Ran ran = p.run(arguments);
        QCOMPARE(QByteArray(planned.err).replace("would not change", "not changed"), ran.err);
        QCOMPARE(p.lines(ran.err), QStringList{"@/t/SUB -> @/t/sub: not changed: File exists"});
    }

    // Nothing in a name reaches a terminal as anything but text: each kind of character a
    // terminal acts on is escaped in the list and in a message on standard error, while
    // JSON keeps the name exact. A byte that is not UTF-8 stays apart from the C1 control
    // of the same number.
    void terminalControls_data()
    {
        QTest::addColumn<QString>("text"); // within a name
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("C0: escape sequence") << "\x1b[2j\x07" << QByteArray("\\x1b[2j\\x07");
        QTest::newRow("DEL") << "\x7f" << QByteArray("\\x7f");
        QTest::newRow("quote, backslash, line end") << "\"\\\n" << QByteArray("\"\\\\\\n");
        QTest::newRow("C1: CSI, OSC, ST, NEL")
            << "\u009b2j\u009d0;x\u009c\u0085" << QByteArray("\\u009b2j\\u009d0;x\\u009c\\u0085");
        QTest::newRow("line and paragraph separators") << "\u2028\u2029" << QByteArray("\\u2028\\u2029");
        QTest::newRow("bidirectional embedding, override, mark and isolates")
            << "\u202a\u202etxt.exe\u202c\u200f\u2066\u2067\u2068\u2069"
            << QByteArray("\\u202a\\u202etxt.exe\\u202c\\u200f\\u2066\\u2067\\u2068\\u2069");
        QTest::newRow("byte that is not UTF-8, beside a C1 control")
            << DecodeName("\x9b") + "\u009b" << QByteArray("\\x9b\\u009b");
    }

    void terminalControls()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, shown);
        Program p;
        const QString name = "A" + text + "B.TXT", folder = "t/D" + text;
        QVERIFY(makeTree(p.path(), {"t/" + name + "=", folder + "/"}));
        const QByteArray t = EncodeName(p.path("t/"));

        const Ran json = p.run({"--lower", "--json", "--dry-run", "@/t"});
        QCOMPARE(json.status, 0);
        QCOMPARE(EncodeName(QJsonDocument::fromJson(json.out.split('\n').first()).object()["old"].toString()),
                 t + EncodeName(name));

        const Ran ran = p.run({"--lower", "@/t"});
        QCOMPARE(ran.status, 0);
        QCOMPARE(ran.out, t + "A" + shown + "B.TXT -> " + t + "a" + shown + "b.txt\n");
        QCOMPARE(ran.err, QByteArray());

        // A message that names a folder: the one another run is renaming.
        const std::unique_ptr<TreeLocks> locks = TreeLocks::open(p.path("state/orvel-file-rename"), nullptr);
        const std::unique_ptr<TreeLock> lock = locks->lock(hostFileSystem().openFolder(p.path(folder)), nullptr);
        const Ran busy = p.run({"--lower", "--subfolders", "@/t"});
        QCOMPARE(busy.status, 5);
        QCOMPARE(busy.err,
                 "orvel-file-rename: " + t + "D" + shown
                     + " is being renamed by another run; try again when it is done\n");
    }

    // A folder in the tree whose names cannot be read, with search permission or without:
    // it is listed with the reason, where it stands after the run, and the status says
    // that not everything was renamed; the files in it are left as they are.
    void unreadableFolder_data()
    {
        // The tree ("LOCKED" gets the mode), the mode, the arguments, standard output and error.
        QTest::addColumn<Locked>("row");
        const QString reason = "its names cannot be read: " + ErrorText(EACCES);
        QTest::newRow("000, renamed itself") << Locked{{"t/A.TXT=", "t/LOCKED/L.TXT="},
                                                       0000,
                                                       {"--lower", "--files", "--folders", "--subfolders", "@/t"},
                                                       {"@/t/A.TXT -> @/t/a.txt", "@/t/LOCKED -> @/t/locked"},
                                                       {"@/t/locked: not changed: " + reason}};
        // No file found anywhere else: nothing is renamed, and still it is said.
        QTest::newRow("100, nothing else to rename") << Locked{
            {"t/LOCKED/L.TXT="}, 0100, {"--lower", "--subfolders", "@/t"}, {}, {"@/t/LOCKED: not changed: " + reason}};
        QTest::newRow("300, as JSON") << Locked{
            {"t/a.txt=", "t/LOCKED/l.txt="},
            0300,
            {"--upper", "--subfolders", "--json", "@/t"},
            {"{\"old\":\"@/t/a.txt\",\"new\":\"@/t/A.TXT\",\"kind\":\"file\",\"path\":\"@/t\","
             "\"result\":\"renamed\",\"reason\":null}",
             "{\"old\":\"@/t/LOCKED\",\"new\":null,\"kind\":\"folder\",\"path\":\"@/t\",\"result\":"
             "\"not changed\",\"reason\":\""
                 + reason + "\"}"},
            {}};
    }

    void unreadableFolder()
    {
        QFETCH(Locked, row);
        const auto& [tree, mode, arguments, out, err] = row;
        // As root, the program gives up its power over permissions before it starts.
        const auto able = inChildProcess([](QDataStream& told) {
            if (startWithoutFileOverrides())
                told << true;
        });
        if (!able || able->isEmpty())
            QSKIP("root here may not give up its power over file permissions");
        Program p;
        p.inChild = [] { startWithoutFileOverrides(); };
        QVERIFY(makeTree(p.path(), tree));
        QCOMPARE(::chmod(EncodeName(p.path("t/LOCKED")).constData(), mode_t(mode)), 0);
        const auto permit = [&] {
            for (const char* name : {"t/LOCKED", "t/locked"}) // under either name after the run
                ::chmod(EncodeName(p.path(name)).constData(), 0700);
        };
        const auto permitted = qScopeGuard(permit);
        const Ran ran = p.run(arguments);
        QCOMPARE(ran.status, 1);
        QCOMPARE(p.lines(ran.out).filter(QRegularExpression("^[^{]|^{\"old")), out); // the summary aside
        QCOMPARE(p.lines(ran.err), err);
        permit();
        const QString inside = tree.last().section('/', 2).section('=', 0, 0);
        QCOMPARE(readTree(p.path("t")).filter(QRegularExpression("^[^/]+/" + inside + "=$")).size(), 1);
    }

    // Paths as a script gives them: several folders and files, standard input by lines or
    // NULs, a path twice or inside a folder given, relative or absolute. Each entry is
    // renamed once, shown as it was given, and the whole command is one run: one undo
    // takes all of it back.
    void paths_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("out");
        QTest::newRow("folders and files, one twice")
            << QStringList{"--lower", "t1", "t2/C.TXT", "./t2/C.TXT", "t1/"} << QByteArray()
            << QStringList{"t1/A.TXT -> t1/a.txt", "t2/C.TXT -> t2/c.txt"};
        QTest::newRow("standard input, a path a line")
            << QStringList{"--lower", "-"} << QByteArray("t2/C.TXT\nt3/E.TXT\n")
            << QStringList{"t2/C.TXT -> t2/c.txt", "t3/E.TXT -> t3/e.txt"};
        QTest::newRow("standard input, NULs, and a folder given too")
            << QStringList{"--lower", "-0", "-", "t1"} << QByteArray("t2/C.TXT\0t3/E.TXT\0", 18)
            << QStringList{"t2/C.TXT -> t2/c.txt", "t3/E.TXT -> t3/e.txt", "t1/A.TXT -> t1/a.txt"};
        QTest::newRow("a file inside a folder's tree, and a folder below it")
            << QStringList{"--lower", "--subfolders", "t1", "t1/SUB/B.TXT", "t1/SUB"} << QByteArray()
            << QStringList{"t1/A.TXT -> t1/a.txt", "t1/SUB/B.TXT -> t1/SUB/b.txt"};
        QTest::newRow("absolute stays absolute") << QStringList{"--lower", "@/t2/D.TXT", "t3/F.TXT"} << QByteArray()
                                                 << QStringList{"@/t2/D.TXT -> @/t2/d.txt", "t3/F.TXT -> t3/f.txt"};
    }

    void paths()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QStringList, out);
        Program p;
        QVERIFY(makeTree(p.path(), {"t1/A.TXT=", "t1/SUB/B.TXT=", "t2/C.TXT=", "t2/D.TXT=", "t3/E.TXT=", "t3/F.TXT="}));
        const auto trees = [&] { return readTree(p.path()).filter(QRegularExpression("^t")); };
        const QStringList before = trees();
        const Ran ran = p.run(arguments, input);
        QCOMPARE(ran.status, 0);
        QCOMPARE(p.lines(ran.out), out);
        QCOMPARE(ran.err, QByteArray());
        const Ran undone = p.run({"--undo", "--yes"});
        QCOMPARE(undone.status, 0);
        QCOMPARE(p.lines(undone.out).size(), out.size());
        QCOMPARE(trees(), before);
    }

    // Hidden entries only when asked for; --match picks files by shell pattern, as the
    // file system compares names (here: letter case counts), and still walks the folders.
    void filters_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("out");
        QTest::newRow("hidden left out") << QStringList{"--lower", "--subfolders", "t"}
                                         << QStringList{"t/A.TXT -> t/a.txt", "t/IMG.JPG -> t/img.jpg",
                                                        "t/PIC.Jpg -> t/pic.jpg", "t/SUB/X.JPG -> t/SUB/x.jpg"};
        QTest::newRow("hidden too") << QStringList{"--lower", "--hidden", "--subfolders", "t"}
                                    << QStringList{"t/.HIDDEN.TXT -> t/.hidden.txt", "t/A.TXT -> t/a.txt",
                                                   "t/IMG.JPG -> t/img.jpg",         "t/PIC.Jpg -> t/pic.jpg",
                                                   "t/.DIR/Y.TXT -> t/.DIR/y.txt",   "t/SUB/X.JPG -> t/SUB/x.jpg"};
        QTest::newRow("one pattern") << QStringList{"--lower", "--subfolders", "--match", "*.JPG", "t"}
                                     << QStringList{"t/IMG.JPG -> t/img.jpg", "t/SUB/X.JPG -> t/SUB/x.jpg"};
        QTest::newRow("two patterns, a file given")
            << QStringList{"--lower", "--match", "*.TXT", "--match", "?IC.*", "t", "t/SUB/X.JPG"}
            << QStringList{"t/A.TXT -> t/a.txt", "t/PIC.Jpg -> t/pic.jpg"};
    }

    void filters()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, out);
        Program p;
        QVERIFY(makeTree(p.path(),
                         {"t/A.TXT=", "t/IMG.JPG=", "t/PIC.Jpg=", "t/.HIDDEN.TXT=", "t/.DIR/Y.TXT=", "t/SUB/X.JPG="}));
        const Ran ran = p.run(arguments);
        QCOMPARE(ran.status, 0);
        QCOMPARE(p.lines(ran.out), out);
    }

    // What a script reads beyond the plain list (dryRunThenRun's): quiet or verbose, the
    // dry run's "would"s; and JSON whose every line parses, with each entry's kind and the
    // path it came from, and a summary at the end.
    void output_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QStringList>("err");
        const QString taken = "t/C.TXT -> t/c.txt: not changed: File exists";
        QTest::newRow("quiet") << QStringList{"-q", "--lower", "t"} << QStringList{}
                               << QStringList{taken, "1 renamed, 1 not changed."};
        QTest::newRow("verbose") << QStringList{"--verbose", "--lower", "t"}
                                 << QStringList{"t/A.TXT -> t/a.txt", "t/b.txt: unchanged", "t/c.txt: unchanged"}
                                 << QStringList{taken};
        // dryRunThenRun only takes these words out; here they are read.
        QTest::newRow("dry run") << QStringList{"--dry-run", "--lower", "t"}
                                 << QStringList{"t/A.TXT -> t/a.txt: would rename"}
                                 << QStringList{"t/C.TXT -> t/c.txt: would not change: File exists"};
        const QString record = R"({"old":"t/%1","new":"t/%2","kind":"%3","path":"t","result":"%4","reason":%5})";
        QTest::newRow("JSON, dry run, folders too")
            << QStringList{"-n", "--json", "--lower", "--folders", "--files", "--subfolders", "t"}
            << QStringList{record.arg("A.TXT", "a.txt", "file", "would rename", "null"),
                           record.arg("C.TXT", "c.txt", "file", "would not change", "\"File exists\""),
                           record.arg("SUB", "sub", "folder", "would rename", "null"),
                           R"({"summary":{"dry_run":true,"undo":false,"renamed":2,"not_changed":1,"unchanged":0,)"
                           R"("stopped":false,"status":1,"run":null}})"}
            << QStringList{};
    }

    void output()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, out);
        QFETCH(QStringList, err);
        Program p;
        QVERIFY(makeTree(p.path(), {"t/A.TXT=", "t/b.txt=", "t/C.TXT=", "t/c.txt=", "t/SUB/"}));
        const Ran ran = p.run(arguments);
        QCOMPARE(ran.status, 1);
        const QStringList lines = p.lines(ran.out);
        for (const QString& line : lines)
            if (arguments.contains("--json"))
                QVERIFY2(QJsonDocument::fromJson(line.toUtf8()).isObject(), qPrintable(line));
        QCOMPARE(lines, out);
        QCOMPARE(p.lines(ran.err), err);
    }

    // On a terminal (standard output and error one terminal, as in a shell) a progress line
    // shows while the run goes and is cleared for each name written and at the end: the
    // screen holds the names and the summary, nothing of the progress line, whether names
    // are listed (the reader held back at first, so the run waits on its writes and the
    // line is due as soon as they go) or not (quiet: only the summary follows it).
    void progressOnATerminal_data()
    {
        QTest::addColumn<bool>("quiet");
        QTest::newRow("every name") << false;
        QTest::newRow("quiet") << true;
    }

    void progressOnATerminal()
    {
        QFETCH(bool, quiet);
        const int files = 40000;
        Program p(true);
        QVERIFY(p.photos(files));
        const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal < 0)
            QSKIP(qPrintable("no terminal to be had here: " + ErrorText(errno)));
        QVERIFY(::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
        int side = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY | O_CLOEXEC);
        const auto closed = qScopeGuard([&] {
            ::close(terminal);
            if (side >= 0)
                ::close(side);
        });
        QVERIFY(side >= 0);
        p.environment.insert("TERM", "xterm");
        p.inChild = [side] { ::dup2(side, STDOUT_FILENO), ::dup2(side, STDERR_FILENO); };
        QProcess program;
        p.start(program, QStringList{"--lower", "--yes", "@/t"} + (quiet ? QStringList{"-q"} : QStringList{}));
        ::close(side), side = -1;
        if (!quiet)
            QTest::qSleep(200);
        QByteArray shown; // all the terminal was sent, read until the program's side closes
        char chunk[1 << 16];
        for (ssize_t got; (got = ::read(terminal, chunk, sizeof chunk)) > 0;)
            shown.append(chunk, got);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);

        const QByteArray progress = " of " + QByteArray::number(files) + " files";
        QVERIFY2(shown.contains(progress), "no progress line was shown");
        // The screen as a terminal leaves it: a carriage return goes back to the line's
        // start, erase clears from there to its end, a character writes over what is there.
        QStringList screen{QString()};
        qsizetype column = 0;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            QString& line = screen.last();
            if (shown[i] == '\r') {
                column = 0;
            } else if (shown[i] == '\n') {
                screen << QString(), column = 0;
            } else if (shown.mid(i, 3) == "\033[K") {
                line.truncate(column), i += 2;
            } else {
                line = line.left(column).leftJustified(column) + QChar(shown[i]) + line.mid(column + 1), ++column;
            }
        }
        if (screen.constLast().isEmpty())
            screen.removeLast();
        QCOMPARE(screen.filter(progress), QStringList());
        QCOMPARE(screen.size(), quiet ? 1 : files + 1);
        QCOMPARE(screen.filter(QRegularExpression("^@?/?.*/PHOTO \\d+\\.JPG -> .*/photo \\d+\\.jpg$")).size(),
                 quiet ? 0 : files);
        QVERIFY2(screen.constLast().startsWith(QString::number(files) + " renamed"), qPrintable(screen.constLast()));
    }

    // The kept runs, newest first, and the undo of one of them by its id: refused while a
    // later run has renamed the names it made.
    void history()
    {
        Program p;
        QVERIFY(makeTree(p.path(), {"t1/A.TXT=", "t2/B.TXT="}));
        const auto runId = [&](const QStringList& arguments) {
            const Ran ran = p.run(QStringList{"--json"} + arguments);
            return QJsonDocument::fromJson(p.lines(ran.out).constLast().toUtf8())["summary"]["run"].toString();
        };
        const QString first = runId({"--lower", "t1"}), second = runId({"--lower", "t2"});
        const QString third = runId({"--upper", "t2"});
        QVERIFY(!first.isEmpty() && !second.isEmpty() && !third.isEmpty());
        const Ran listed = p.run({"--list-runs", "--json"});
        QCOMPARE(listed.status, 0);
        QStringList ids;
        for (const QString& line : p.lines(listed.out))
            ids << QJsonDocument::fromJson(line.toUtf8())["id"].toString();
        QCOMPARE(ids, (QStringList{third, second, first}));

        const Ran refused = p.run({"--undo", second, "--yes"});
        QCOMPARE(refused.status, 4);
        QVERIFY2(refused.err.contains("the later run " + third.toUtf8() + " renamed names it made"),
                 refused.err.constData());
        QCOMPARE(p.run({"--undo", first, "--yes"}).status, 0);
        QCOMPARE(readTree(p.path()).filter(QRegularExpression("^t")),
                 (QStringList{"t1/", "t1/A.TXT=", "t2/", "t2/B.TXT="}));
        const Ran after = p.run({"--list-runs"});
        QVERIFY2(after.out.contains(first.toUtf8() + "  ") && after.out.split('\n').value(2).contains("undone"),
                 after.out.constData());
    }

    // A run stopped from outside: its list cannot be written (the device is full, the
    // reader of the pipe went away before the first line or part way), or Ctrl+C or
    // SIGTERM comes once the first names are listed. Neither the closed pipe nor the
    // signal kills the program: the run stops after the rename in hand (a failed write
    // seen only as it ends leaves the run whole), ends with its own status, lists every
    // name it changed, leaves no temporary name, and the undo puts every name back.
    void stoppedFromOutside_data()
    {
        // Where the list goes ("full": /dev/full; otherwise a pipe), the bytes read from the
        // pipe before its reader goes or the signal comes, the files (many: far more lines than
        // the program keeps back), the signal (0: the reader goes instead), the status, and the
        // list's error when it could not be written.
        QTest::addColumn<Stop>("stop");
        QTest::newRow("/dev/full") << Stop{"full", 0, 3000, 0, 6, ENOSPC};
        QTest::newRow("reader gone before the first line, a few names") << Stop{"pipe", 0, 3, 0, 6, EPIPE};
        QTest::newRow("reader gone part way") << Stop{"pipe", 4096, 3000, 0, 6, EPIPE};
        QTest::newRow("Ctrl+C") << Stop{"pipe", 65536, 40000, SIGINT, 130, 0};
        QTest::newRow("SIGTERM") << Stop{"pipe", 65536, 40000, SIGTERM, 143, 0};
    }

    void stoppedFromOutside()
    {
        QFETCH(Stop, stop);
        auto [output, read, files, signal, status, error] = stop;
        Program p(true);
        QVERIFY(p.photos(files));
        const QStringList before = names(p.path("t"));
        int ends[2] = {-1, -1};
        QVERIFY(::pipe2(ends, O_CLOEXEC) == 0);
        const auto closed = qScopeGuard([&] {
            for (const int end : ends)
                if (end >= 0)
                    ::close(end);
        });
        const auto closeEnd = [&](int& end) { ::close(end), end = -1; };
        QProcess program;
        if (output == "full")
            program.setStandardOutputFile("/dev/full");
        else
            p.inChild = [end = ends[1]] { ::dup2(end, STDOUT_FILENO); };
        if (read == 0)
            closeEnd(ends[0]);
        // In memory the tree lies in a system folder (/dev): --yes.
        p.start(program, {"--lower", "--yes", "@/t"});
        closeEnd(ends[1]);
        QByteArray out;
        const auto readSome = [&] {
            char chunk[1 << 16];
            pollfd readable{ends[0], POLLIN, 0};
            const ssize_t got = ::poll(&readable, 1, 60000) == 1 ? ::read(ends[0], chunk, sizeof chunk) : -1;
            out.append(chunk, qMax<ssize_t>(got, 0));
            return got > 0;
        };
        while (read > 0 && out.size() < read && readSome()) {}
        if (signal != 0) {
            ::kill(pid_t(program.processId()), signal);
            while (readSome()) {}
        } else if (read > 0) {
            closeEnd(ends[0]);
        }
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        const QByteArray err = program.readAllStandardError();
        if (error != 0)
            QVERIFY2(err.startsWith("orvel-file-rename: the list could not be written: " + ErrorText(error).toUtf8()),
                     err.constData());
        const QStringList after = names(p.path("t"));
        QCOMPARE(after.filter(QRegularExpression("^\\.")), QStringList()); // no temporary name
        const qsizetype renamed = after.filter(".jpg").size();
        if (files > 100)
            QVERIFY2(renamed > 0 && renamed < files, "the run did not stop part way");
        else
            QCOMPARE(renamed, files);
        if (signal != 0) {
            QCOMPARE(out.count('\n'), renamed);
            // What was done and left, and how to take it back.
            const QString told = DecodeName(err);
            QVERIFY2(told.startsWith(QStringLiteral("orvel-file-rename: stopped by %1 after the rename in hand: %2 "
                                                    "renamed, 0 not changed, %3 of %4 files not looked at; "
                                                    "'orvel-file-rename --undo ")
                                         .arg(signal == SIGINT ? "Ctrl+C (SIGINT)" : "SIGTERM")
                                         .arg(renamed)
                                         .arg(files - renamed)
                                         .arg(files))
                         && told.endsWith(" --yes' takes the renames back\n"),
                     err.constData());
        }
        p.inChild = {};
        QCOMPARE(p.run({"--undo", "--yes"}).status, 0);
        QCOMPARE(names(p.path("t")), before);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
