// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting the console's byte stream into frames and bad bytes, as the simulated station reads it.
#include "sim/FrameReader.h"
#include "sim/StationFrames.h"

#include <QTest>

using sim::FrameReader;
using sim::ReadKind;
using sim::ReadPiece;

namespace {

QByteArray statusFrame(std::uint8_t profile) {
    return sim::toBytes(station::buildStatusFrame(0, profile));
}

QByteArray profileFrame(std::uint8_t slot) {
    return sim::toBytes(station::buildProfileFrame(slot, {100, 160, 180, 60, 240, 30}));
}

// "S" status, "P" profile, "B<n>" n bad bytes: one letter group per piece.
QString describe(const QList<ReadPiece>& pieces) {
    QStringList parts;
    for (const ReadPiece& piece : pieces) {
        switch (piece.kind) {
        case ReadKind::Status:
            parts << QStringLiteral("S");
            break;
        case ReadKind::Profile:
            parts << QStringLiteral("P");
            break;
        case ReadKind::Bad:
            parts << QStringLiteral("B%1").arg(piece.bytes.size());
            break;
        }
    }
    return parts.join(u' ');
}

} // namespace

class TstFrameReader : public QObject {
    Q_OBJECT
private slots:
    void cutsTheStream_data();
    void cutsTheStream();
    void frameArrivingInPiecesIsRecognisedWhenComplete();
    void framesKeepTheirBytes();
};

void TstFrameReader::cutsTheStream_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("pieces");
    QTest::addColumn<int>("pending");

    const QByteArray status = statusFrame(3);
    const QByteArray profile = profileFrame(2);
    QByteArray wrongTrailer = status;
    wrongTrailer[49] = 0x28;
    QByteArray unknownMarker = status;
    unknownMarker[8] = 0x4C;

    QTest::newRow("status") << status << "S" << 0;
    QTest::newRow("profile then status") << profile + status << "P S" << 0;
    QTest::newRow("junk without a start byte")
        << QByteArray("\x01\x02\x03", 3) + status << "B3 S" << 0;
    QTest::newRow("junk with start bytes")
        << QByteArray("\xFF\xFF\x00\xFF", 4) + status << "B4 S" << 0;
    QTest::newRow("cut-off frame then a whole one") << status.left(20) + status << "B20 S" << 0;
    QTest::newRow("frame with a wrong trailer") << wrongTrailer + status << "B50 S" << 0;
    QTest::newRow("frame with a wrong constant") << unknownMarker + profile << "B50 P" << 0;
    QTest::newRow("long junk is reported in pieces of at most 50")
        << QByteArray(120, '\x11') + status << "B50 B50 B20 S" << 0;
    QTest::newRow("junk then the start of a frame")
        << QByteArray("\x07", 1) + status.left(30) << "B1" << 30;
    QTest::newRow("junk alone is dropped at once") << QByteArray(7, '\x42') << "B7" << 0;
}

void TstFrameReader::cutsTheStream() {
    QFETCH(QByteArray, stream);
    QFETCH(QString, pieces);
    QFETCH(int, pending);
    FrameReader reader;
    QCOMPARE(describe(reader.feed(stream)), pieces);
    QCOMPARE(reader.pendingBytes(), pending);
}

void TstFrameReader::frameArrivingInPiecesIsRecognisedWhenComplete() {
    FrameReader reader;
    const QByteArray stream = statusFrame(1) + profileFrame(5) + statusFrame(5);
    QStringList seen;
    for (qsizetype at = 0; at < stream.size(); at += 7) {
        const QString pieces = describe(reader.feed(stream.mid(at, 7)));
        if (!pieces.isEmpty())
            seen << pieces;
    }
    QCOMPARE(seen.join(u' '), QStringLiteral("S P S"));
    QCOMPARE(reader.pendingBytes(), 0);
}

void TstFrameReader::framesKeepTheirBytes() {
    FrameReader reader;
    const QByteArray junk("\x05\x06", 2);
    const QList<ReadPiece> pieces = reader.feed(junk + profileFrame(7));
    QCOMPARE(pieces.size(), 2);
    QCOMPARE(pieces[0].bytes, junk);
    QCOMPARE(pieces[1].bytes, profileFrame(7));

    const station::StationFrame frame = sim::toFrame(pieces[1].bytes);
    QCOMPARE(sim::profileNumberOf(frame), 7);
    const station::ProfileValues values = sim::profileValuesOf(frame);
    QCOMPARE(values.T0, 100);
    QCOMPARE(values.TB, 160);
    QCOMPARE(values.T1, 180);
    QCOMPARE(values.S1, 60);
    QCOMPARE(values.T3, 240);
    QCOMPARE(values.S3, 30);
}

QTEST_APPLESS_MAIN(TstFrameReader)
#include "tst_frame_reader.moc"
