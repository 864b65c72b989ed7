// Writes pictures of the main window on a light and on a dark palette, as PNG files,
// into the folder named on the command line (build/screenshots by default). The
// scale is Qt's: QT_SCALE_FACTOR=2 gives the 2x pictures. scripts/screenshots.sh
// builds this program and runs it at 1x and 2x.

#include "app/HostServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QStyle>
#include <QTemporaryDir>
#include <cstdio>

using namespace orvel;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots");
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(folder));
        return 1;
    }

    // A small folder of its own to show, the same on every machine.
    QTemporaryDir sample;
    for (const char* name :
         {"Holiday Photos/", "music/", "Annual REPORT.pdf", "holiday 2023.JPG", "notes.txt", "To Do (draft).odt"}) {
        const QString path = sample.filePath(QString::fromUtf8(name));
        if (path.endsWith(QLatin1Char('/')))
            QDir().mkpath(path);
        else if (QFile f(path); f.open(QIODevice::WriteOnly))
            f.write("x");
    }
    MainWindowServices services = HostServices();
    services.startFolder = services.homeFolder = sample.path();

    const QString scale = QString::number(app.devicePixelRatio()) + QLatin1Char('x');
    const std::pair<const char*, QPalette> palettes[] = {
        {"light", QApplication::style()->standardPalette()},
        {"dark", QPalette(QColor(53, 53, 53))},
    };
    int failures = 0;
    for (const auto& [name, palette] : palettes) {
        QApplication::setPalette(palette);
        MainWindow window(services);
        auto* files = window.findChild<FileListBox*>(QStringLiteral("File1"));
        files->setCurrentRow(3);
        window.findChild<QLineEdit*>(QStringLiteral("txtNAME"))->setText(files->value());
        window.findChild<QLabel*>(QStringLiteral("lblStatus"))->setText(QStringLiteral("Renamed done !!"));
        window.show();
        const QString file =
            QDir(folder).filePath(QStringLiteral("main-window-%1-%2.png").arg(QLatin1String(name), scale));
        const QFontInfo font(window.font());
        if (window.grab().save(file))
            std::printf("%s  (%s, %g pt, %d px)\n", qPrintable(file), qPrintable(font.family()), font.pointSizeF(),
                        font.pixelSize());
        else
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
