// The icon pictures, read from the resources compiled into this library.

#include "platform/AppIcon.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

// The pictures are compiled into this static library. Nothing else in the program
// refers to the generated resource code, so the linker would drop it; registering
// it explicitly from here pulls it in wherever these accessors are used.
// Q_INIT_RESOURCE has to be expanded outside any namespace.
static void initIconResources()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(orvel_icons);
        return true;
    }();
    (void)once;
}

namespace orvel {

namespace {
const QString kIconPrefix = QStringLiteral(":/orvel/icons/");
constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
} // namespace

QIcon ApplicationIcon()
{
    initIconResources();
    QIcon icon;
    for (int size : kSizes)
        icon.addFile(kIconPrefix + QStringLiteral("orvel-file-rename-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap ApplicationIcon32()
{
    initIconResources();
    return QPixmap(kIconPrefix + QStringLiteral("orvel-file-rename-32.png"));
}

QPixmap UpLevelPicture()
{
    initIconResources();
    return QPixmap(kIconPrefix + QStringLiteral("up-level-16.png"));
}

} // namespace orvel
