#include "platform/AppIcon.h"

#include <QApplication>
#include <QImage>
#include <QtTest>

using namespace orvel;

// The pictures live in a static library; these checks fail when the linker drops
// the resource code or a file is missing from it.
class TestAppIcon : public QObject {
    Q_OBJECT
private slots:
    void icon32IsA32PixelPicture()
    {
        const QPixmap pm = ApplicationIcon32();
        QVERIFY(!pm.isNull());
        QCOMPARE(pm.size(), QSize(32, 32));
    }

    void upLevelIsA16PixelPicture()
    {
        const QPixmap pm = UpLevelPicture();
        QVERIFY(!pm.isNull());
        QCOMPARE(pm.size(), QSize(16, 16));
    }

    void iconHoldsEverySize()
    {
        const QIcon icon = ApplicationIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        for (int s : {16, 22, 24, 32, 48, 64, 128, 256})
            QVERIFY2(sizes.contains(QSize(s, s)), qPrintable(QString::number(s)));
        // Each size is its own drawing, not a scaled copy of another.
        QCOMPARE(icon.pixmap(QSize(256, 256)).size(), QSize(256, 256));
        QCOMPARE(icon.pixmap(QSize(16, 16)).size(), QSize(16, 16));
    }

    void picturesAreNotBlank()
    {
        // A picture that loaded but is fully transparent would still pass the size
        // checks; the icon must show something in its middle.
        for (const QPixmap &pm : {ApplicationIcon32(), UpLevelPicture()}) {
            const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
            int opaque = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    opaque += qAlpha(img.pixel(x, y)) > 128;
            QVERIFY(opaque > img.width() * img.height() / 4);
        }
    }
};

QTEST_MAIN(TestAppIcon)
#include "test_app_icon.moc"
