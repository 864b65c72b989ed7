#include "platform/AppIcon.h"

#include <QtTest>

using namespace orvel;

// The pictures live in a static library; these checks fail when the linker drops
// its resource code or a file is missing from it.
class TestAppIcon : public QObject {
    Q_OBJECT
private slots:
    void picturesLoad()
    {
        QCOMPARE(ApplicationIcon32().size(), QSize(32, 32));
        QCOMPARE(UpLevelPicture().size(), QSize(16, 16));
        // Every size the desktop may ask for is in the icon itself.
        const QList<QSize> sizes = ApplicationIcon().availableSizes();
        for (int s : {16, 22, 24, 32, 48, 64, 128, 256})
            QVERIFY2(sizes.contains(QSize(s, s)), qPrintable(QString::number(s)));
    }
};

QTEST_MAIN(TestAppIcon)
#include "test_app_icon.moc"
