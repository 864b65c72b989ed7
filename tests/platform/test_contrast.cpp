// The contrast of two colours, and a colour made readable on a background with the least change.

#include "platform/Contrast.h"

#include <QColor>
#include <QTest>

using namespace orvel;

class TestContrast : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Values every contrast checker gives, either way round (the darker colour first or second).
    void contrastRatio()
    {
        const std::tuple<QColor, QColor, double> rows[] = {{Qt::black, Qt::white, 21.0},

                                                           {QColor(0x77, 0x77, 0x77), Qt::white, 4.48},
                                                           {QColor(0x76, 0x76, 0x76), Qt::white, 4.54},
                                                           {QColor(0, 0, 255), Qt::white, 8.59},
                                                           {QColor(255, 0, 0), Qt::black, 5.25}};
        for (const auto& [a, b, ratio] : rows)
            QCOMPARE(qRound(ContrastRatio(a, b) * 100), qRound(ratio * 100));
    }

    void readableColor_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<double>("minRatio");
        QTest::addColumn<int>("way"); // 0 kept, 1 lighter, -1 darker, 2 black, 3 white
        QTest::newRow("blue on a light window: kept") << QColor(0, 0, 255) << QColor(239, 239, 239) << 4.5 << 0;
        QTest::newRow("blue on a dark window") << QColor(0, 0, 255) << QColor(53, 53, 53) << 4.5 << 1;
        QTest::newRow("light grey under white text") << QColor(224, 224, 224) << QColor(Qt::white) << 4.5 << -1;
        QTest::newRow("dark red on black") << QColor(96, 0, 0) << QColor(Qt::black) << 4.5 << 1;
        // On mid grey black reaches 4.69 and white 4.48: only darker works.
        QTest::newRow("grey on the same grey") << QColor(119, 119, 119) << QColor(119, 119, 119) << 4.5 << -1;
        QTest::newRow("a stricter ratio") << QColor(0, 0, 255) << QColor(Qt::white) << 10.0 << -1;
        // Out of reach: the extreme that comes closest.
        QTest::newRow("7:1 on mid grey: black") << QColor(0, 0, 255) << QColor(119, 119, 119) << 7.0 << 2;
        QTest::newRow("21:1 on dark grey: white") << QColor(0, 0, 255) << QColor(40, 40, 40) << 21.0 << 3;
    }
    void readableColor()
    {
        QFETCH(QColor, color);
        QFETCH(QColor, background);
        QFETCH(double, minRatio);
        QFETCH(int, way);
        const QColor made = ReadableColor(color, background, minRatio);
        if (way == 0 || way > 1) {
            QCOMPARE(made, way == 0 ? color : way == 2 ? QColor(Qt::black) : QColor(Qt::white));
            return;
        }
        const double ratio = ContrastRatio(made, background);
        // Enough, and no more change than needed.
        QVERIFY2(ratio >= minRatio && ratio < minRatio + 0.15, qPrintable(made.name()));
        QCOMPARE(made.lightness() > color.lightness() ? 1 : -1, way);
        if (color.hslSaturation() > 0 && made.hslSaturation() > 0)
            QVERIFY2(qAbs(made.hslHue() - color.hslHue()) <= 1, qPrintable(made.name()));
    }
};

QTEST_MAIN(TestContrast)
#include "test_contrast.moc"
