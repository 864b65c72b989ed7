#include "app/modStartup.h"

#include "main_window/frmMain.h"
#include "platform/AppIcon.h"
#include "platform/MessageBoxes.h"
#include "platform/SingleInstance.h"

#include <QApplication>

namespace orvel {

bool StartUp(SingleInstance& instance, MessageBoxes& messages)
{
    if (!instance.tryAcquire()) {
        messages.show(nullptr,
                      QStringLiteral("This program is already running\r\n\r\nCheck the system tray or your taskbar"),
                      QStringLiteral("Orvel File Rename"), MessageBoxes::Icon::Information, MessageBoxes::Ok,
                      MessageBoxes::Ok);
        return false;
    }
    auto* window = new frmMain(MainWindowServices::host());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return true;
}

int Main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvel File Rename"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(ORVEL_VERSION_MAJOR)
                                            .arg(ORVEL_VERSION_MINOR)
                                            .arg(ORVEL_VERSION_PATCH));
    QApplication::setDesktopFileName(QStringLiteral("com.example.orvel_file_rename"));
    QApplication::setWindowIcon(ApplicationIcon());

    SingleInstance instance;
    if (!StartUp(instance, hostMessageBoxes()))
        return 0;
    return app.exec();
}

} // namespace orvel
