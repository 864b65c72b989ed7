// The table of a dry run's planned renames, checked against a plain map through many changes.

#include "engine/PlannedNames.h"

#include <QTest>

#include <map>
#include <random>

using namespace orvel;

class TestPlannedNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Renames planned, planned again and taken back, thousands of them so that the table
    // grows and lays itself out again over the slots of entries gone; once with real
    // hashes, once with every name on one hash, so that each look must tell the names
    // apart by their bytes.
    void agreesWithAMap_data()
    {
        QTest::addColumn<bool>("oneHash");
        QTest::newRow("hashed") << false;
        QTest::newRow("all on one hash") << true;
    }
    void agreesWithAMap()
    {
        QFETCH(bool, oneHash);
        const auto named = [&](const QByteArray& name) {
            return PlannedNames::Name{name, oneHash ? 7 : PlannedNames::named(name).hash};
        };
        std::mt19937 random(20261209);
        PlannedNames table;
        std::map<QByteArray, QByteArray> planned; // name on disk -> planned name
        std::map<QByteArray, QByteArray> disk; // planned name -> name on disk
        const int names = oneHash ? 300 : 4000;
        for (int step = 0; step < 5 * names; ++step) {
            const QByteArray onDisk = "file " + QByteArray::number(int(random() % unsigned(names)));
            // New names share their bytes with names on disk ("FILE 1" against "file 1").
            const QByteArray other = "FILE " + QByteArray::number(int(random() % unsigned(names)));
            const auto it = planned.find(onDisk);
            if (it != planned.end() && it->second == other)
                continue; // a run never renames a name to itself
            if (it == planned.end()) {
                if (disk.count(other))
                    continue;
                table.add(named(onDisk), named(other));
                planned[onDisk] = other;
                disk[other] = onDisk;
                continue;
            }
            const qsizetype entry = table.byDisk(named(onDisk));
            QVERIFY(entry >= 0);
            QCOMPARE(table.planned(entry).bytes, it->second);
            disk.erase(it->second);
            if (random() % 3 == 0) { // taken back
                table.erase(entry);
                planned.erase(it);
            } else if (!disk.count(other)) {
                table.replan(entry, named(other));
                it->second = other;
                disk[other] = onDisk;
            } else {
                disk[it->second] = onDisk;
            }
        }
        QCOMPARE(table.size(), planned.size());
        QCOMPARE(table.isEmpty(), planned.empty());
        for (int i = 0; i < names; ++i) {
            const QByteArray lower = "file " + QByteArray::number(i), upper = "FILE " + QByteArray::number(i);
            const qsizetype byDisk = table.byDisk(named(lower)), byPlanned = table.byPlanned(named(upper));
            QCOMPARE(byDisk >= 0, planned.count(lower) == 1);
            QCOMPARE(byPlanned >= 0, disk.count(upper) == 1);
            if (byDisk >= 0)
                QCOMPARE(table.planned(byDisk).bytes, planned[lower]);
            if (byPlanned >= 0)
                QCOMPARE(table.disk(byPlanned).bytes, disk[upper]);
            QCOMPARE(table.byPlanned(named(lower)), -1); // each name looked up in its own index only
        }
        std::map<QByteArray, QByteArray> listed;
        table.forEach([&](PlannedNames::Name from, PlannedNames::Name to) {
            listed[from.bytes.toByteArray()] = to.bytes.toByteArray();
        });
        QVERIFY(listed == planned);
    }
};

QTEST_GUILESS_MAIN(TestPlannedNames)
#include "test_planned_names.moc"
