// Where the filled part goes for each direction, and the direction flags.
#include "BarHost.h"

#include <QTest>

using namespace orvel;
using namespace orvel::test;

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void barPlacement_data();
    void barPlacement();
};

void TestLayout::barPlacement_data()
{
    // The length is value * size / range, halves to even. In directions 0 and 3 the
    // bar starts one pixel early and may reach one pixel further (size + 1), so that
    // a full bar still covers everything.
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("width");
    QTest::addColumn<qint64>("max");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QRect>("fg");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<bool>("vertical");
    QTest::newRow("0, 50.5 to even") << 0 << 100 << 10000LL << 5000LL << QRect(-1, 0, 50, 20) << false << false;
    QTest::newRow("1, quarter") << 1 << 100 << 10000LL << 2500LL << QRect(0, 15, 100, 5) << true << true;
    QTest::newRow("2, half") << 2 << 100 << 10000LL << 5000LL << QRect(50, 0, 50, 20) << true << false;
    QTest::newRow("3, 5.25") << 3 << 100 << 10000LL << 2500LL << QRect(0, -1, 100, 5) << false << true;
    QTest::newRow("2, 51.5 to even") << 2 << 103 << 2LL << 1LL << QRect(51, 0, 52, 20) << true << false;
    QTest::newRow("0, Max") << 0 << 100 << 10000LL << 10000LL << QRect(-1, 0, 101, 20) << false << false;
    QTest::newRow("3, Max") << 3 << 100 << 10000LL << 10000LL << QRect(0, -1, 100, 21) << false << true;
}

void TestLayout::barPlacement()
{
    QFETCH(int, direction);
    QFETCH(int, width);
    QFETCH(qint64, max);
    QFETCH(qint64, value);
    QFETCH(QRect, fg);
    QFETCH(bool, reverse);
    QFETCH(bool, vertical);
    BarHost host(width, 20, [&](MProgress& bar) {
        bar.setMax(max);
        bar.setDirection(direction);
    });
    host.bar->setValue(1); // a change first, so that the cached offset and range are fresh
    host.bar->setValue(value);
    QCOMPARE(host.bar->FG()->geometry(), fg);
    QCOMPARE(host.bar->Reverse(), reverse);
    QCOMPARE(host.bar->Vertical(), vertical);
    // An unknown direction keeps the flags and leaves the bar where it is.
    host.bar->setDirection(9);
    host.bar->setValue(value > max / 2 ? 0 : max); // a length that would move a placed bar
    QCOMPARE(host.bar->FG()->geometry(), fg);
    QCOMPARE(host.bar->Reverse(), reverse);
    QCOMPARE(host.bar->Vertical(), vertical);
}

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
