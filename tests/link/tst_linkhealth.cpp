// SPDX-License-Identifier: GPL-3.0-or-later
// When the link counts as silent: quiet poll ticks in a row, and what ends the silence.
#include "link/LinkHealth.h"

#include <QTest>

using namespace station;

class TestLinkHealth : public QObject {
    Q_OBJECT
private slots:
    void silentAfterThreeQuietTicks_data();
    void silentAfterThreeQuietTicks();
};

void TestLinkHealth::silentAfterThreeQuietTicks_data() {
    // Events: '.' a poll tick without a whole frame, 'F' a poll tick with one,
    // 'T' a frame read outside the poll (the transfer's), 't' such a read without
    // one, 'R' a restart (connect, close). `silent` gives the state after each.
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("silent");

    QTest::newRow("answering") << "FFF"
                               << "000";
    QTest::newRow("a fresh link not yet answered") << ""
                                                   << "";
    QTest::newRow("silent at the third quiet tick") << "..."
                                                    << "001";
    QTest::newRow("stays silent") << "......"
                                  << "001111";
    QTest::newRow("two quiet ticks are no silence") << "F..F..F"
                                                    << "0000000";
    QTest::newRow("the count starts anew after a frame") << "..F..."
                                                         << "000001";
    QTest::newRow("the first frame ends the silence") << "....F."
                                                      << "001100";
    QTest::newRow("a transfer's frame ends it too") << "...T"
                                                    << "0010";
    QTest::newRow("a transfer's read without a frame counts no tick") << "..t.t"
                                                                      << "00011";
    QTest::newRow("a restart starts not yet answered") << "...R.."
                                                       << "001000";
}

void TestLinkHealth::silentAfterThreeQuietTicks() {
    QFETCH(QString, events);
    QFETCH(QString, silent);

    LinkHealth health;
    QVERIFY(!health.isSilent());
    QString seen;
    for (const QChar event : std::as_const(events)) {
        switch (event.toLatin1()) {
        case '.':
            health.pollRead(false);
            break;
        case 'F':
            health.pollRead(true);
            break;
        case 'T':
            health.frameArrived();
            break;
        case 't':
            break; // a read that brought nothing tells nothing
        case 'R':
            health.restart();
            break;
        default:
            QFAIL("unknown event");
        }
        seen += health.isSilent() ? u'1' : u'0';
    }
    QCOMPARE(seen, silent);
}

QTEST_APPLESS_MAIN(TestLinkHealth)
#include "tst_linkhealth.moc"
