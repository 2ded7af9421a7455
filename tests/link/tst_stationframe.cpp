// SPDX-License-Identifier: GPL-3.0-or-later
// Frame layouts: the bytes of the two outgoing frames, telemetry decoding, frame recognition.
#include "link/StationFrame.h"

#include <QByteArray>
#include <QTest>

#include <set>

using namespace station;

using ProfileField = std::int32_t ProfileValues::*;
Q_DECLARE_METATYPE(station::ProfileValues)
Q_DECLARE_METATYPE(ProfileField)

namespace {

QByteArray bytesOf(const StationFrame& frame) {
    return QByteArray(reinterpret_cast<const char*>(frame.data()), int(frame.size()));
}

StationFrame frameOf(const QByteArray& bytes) {
    StationFrame frame{};
    std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), kFrameSize), frame.begin());
    return frame;
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

QByteArray zeros(int count) {
    return QByteArray(count, '\0');
}

// Offsets that carry a variable in each outgoing frame; every other byte is constant.
const std::set<std::size_t> kStatusVariableOffsets{1, 9};
const std::set<std::size_t> kProfileVariableOffsets{9, 12, 18, 20, 22, 24, 30};

} // namespace

class TestStationFrame : public QObject {
    Q_OBJECT
private slots:
    void statusFrameForProfile3();
    void profileFrameForProfile2();
    void profileValueTravelsAsLowByte_data();
    void profileValueTravelsAsLowByte();
    void trailersAreConstant_data();
    void trailersAreConstant();
    void telemetryDecodes_data();
    void telemetryDecodes();
    void builtFramesAreRecognised_data();
    void builtFramesAreRecognised();
    void anyAlteredConstantByteIsRejected();
};

void TestStationFrame::statusFrameForProfile3() {
    const QByteArray expected = hex("FF 00 00 00 00 00 00 00 4B 03") + zeros(24) + hex("FF 04") +
                                zeros(6) + hex("4B") + zeros(5) + hex("E1 29");
    QCOMPARE(expected.size(), int(kFrameSize));
    QCOMPARE(bytesOf(buildStatusFrame(0, 3)).toHex(' '), expected.toHex(' '));
}

void TestStationFrame::profileFrameForProfile2() {
    ProfileValues values;
    values.T0 = 180;
    values.TB = 150;
    values.T1 = 160;
    values.S1 = 60;
    values.T3 = 235;
    values.S3 = 30;
    const QByteArray expected = hex("FF 04 E0 FF") + zeros(5) + hex("02 00 00 A0") + zeros(5) +
                                hex("EB 00 3C 00 B4 00 96") + zeros(5) + hex("1E") + zeros(3) +
                                hex("FF 04 00 FF 04") + zeros(6) + hex("4B 00 00 D0 AF");
    QCOMPARE(expected.size(), int(kFrameSize));
    QCOMPARE(bytesOf(buildProfileFrame(2, values)).toHex(' '), expected.toHex(' '));
}

void TestStationFrame::profileValueTravelsAsLowByte_data() {
    QTest::addColumn<ProfileField>("field");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expectedByte");

    QTest::newRow("T3 300") << &ProfileValues::T3 << 18 << 300 << 0x2C;
    QTest::newRow("T0 256") << &ProfileValues::T0 << 22 << 256 << 0x00;
    QTest::newRow("TB -5") << &ProfileValues::TB << 24 << -5 << 0xFB;
    QTest::newRow("T1 -1") << &ProfileValues::T1 << 12 << -1 << 0xFF;
    QTest::newRow("S1 255") << &ProfileValues::S1 << 20 << 255 << 0xFF;
    QTest::newRow("S3 minimum") << &ProfileValues::S3 << 30 << std::numeric_limits<int>::min()
                                << 0x00;
    QTest::newRow("S3 maximum") << &ProfileValues::S3 << 30 << std::numeric_limits<int>::max()
                                << 0xFF;
}

void TestStationFrame::profileValueTravelsAsLowByte() {
    QFETCH(ProfileField, field);
    QFETCH(int, offset);
    QFETCH(int, value);
    QFETCH(int, expectedByte);

    ProfileValues values;
    values.*field = value;
    const StationFrame frame = buildProfileFrame(0, values);
    QCOMPARE(int(frame[offset]), expectedByte);
    // The byte after each value stays 0, so nothing of a wide value spills over.
    QCOMPARE(int(frame[offset + 1]), 0);
    // Only this value's byte differs from a frame of zero values.
    const StationFrame zero = buildProfileFrame(0, ProfileValues{});
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        if (int(i) != offset)
            QCOMPARE(int(frame[i]), int(zero[i]));
    }
}

void TestStationFrame::trailersAreConstant_data() {
    QTest::addColumn<int>("profileNumber");
    QTest::addColumn<int>("fill");

    QTest::newRow("zeros") << 0 << 0;
    QTest::newRow("profile 9, values 255") << 9 << 255;
    QTest::newRow("profile 255, values -1") << 255 << -1;
    QTest::newRow("profile 7, values 0xE129") << 7 << 0xE129;
}

void TestStationFrame::trailersAreConstant() {
    QFETCH(int, profileNumber);
    QFETCH(int, fill);

    const auto number = std::uint8_t(profileNumber);
    const StationFrame status = buildStatusFrame(std::uint8_t(fill), number);
    QCOMPARE(int(status[48]), 0xE1);
    QCOMPARE(int(status[49]), 0x29);

    const ProfileValues values{fill, fill, fill, fill, fill, fill};
    const StationFrame profile = buildProfileFrame(number, values);
    QCOMPARE(int(profile[48]), 0xD0);
    QCOMPARE(int(profile[49]), 0xAF);
}

void TestStationFrame::telemetryDecodes_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");

    auto frameWith = [](int command, int top, int bottom, char fill = 0) {
        QByteArray bytes(int(kFrameSize), fill);
        bytes[2] = char(command);
        bytes[10] = char(top);
        bytes[26] = char(bottom);
        return bytes;
    };
    QTest::newRow("start, 200/120") << frameWith(46, 200, 120) << int(kCommandStart) << 200 << 120;
    QTest::newRow("stop") << frameWith(14, 25, 24) << int(kCommandStop) << 25 << 24;
    QTest::newRow("250 stays positive") << frameWith(0, 250, 255) << 0 << 250 << 255;
    QTest::newRow("other bytes ignored") << frameWith(7, 0, 1, char(0xAA)) << 7 << 0 << 1;
    QTest::newRow("an outgoing frame read back") << bytesOf(buildStatusFrame(0, 3)) << 0 << 0 << 0;
}

void TestStationFrame::telemetryDecodes() {
    QFETCH(QByteArray, frame);
    QFETCH(int, command);
    QFETCH(int, top);
    QFETCH(int, bottom);

    const Telemetry telemetry = decodeTelemetry(frameOf(frame));
    QCOMPARE(int(telemetry.command), command);
    QCOMPARE(telemetry.top, top);
    QCOMPARE(telemetry.bottom, bottom);
}

void TestStationFrame::builtFramesAreRecognised_data() {
    QTest::addColumn<int>("profileNumber");
    QTest::addColumn<int>("soldDesold");
    QTest::addColumn<ProfileValues>("values");

    QTest::newRow("all zero") << 0 << 0 << ProfileValues{};
    QTest::newRow("typical") << 2 << 0 << ProfileValues{180, 150, 160, 60, 235, 30};
    // Variable bytes holding the constants of the other kind must not confuse either test.
    QTest::newRow("variables 0xFF") << 255 << 255 << ProfileValues{-1, -1, -1, -1, -1, -1};
    QTest::newRow("variables look like markers")
        << 0x4B << 0xE0 << ProfileValues{0x4B, 0xFF, 0x04, 0xD0, 0xAF, 0xE1};
}

void TestStationFrame::builtFramesAreRecognised() {
    QFETCH(int, profileNumber);
    QFETCH(int, soldDesold);
    QFETCH(ProfileValues, values);

    const StationFrame status =
        buildStatusFrame(std::uint8_t(soldDesold), std::uint8_t(profileNumber));
    const StationFrame profile = buildProfileFrame(std::uint8_t(profileNumber), values);
    QVERIFY(isStatusFrame(status));
    QVERIFY(!isProfileFrame(status));
    QVERIFY(isProfileFrame(profile));
    QVERIFY(!isStatusFrame(profile));
}

void TestStationFrame::anyAlteredConstantByteIsRejected() {
    const StationFrame status = buildStatusFrame(0, 3);
    const StationFrame profile = buildProfileFrame(2, ProfileValues{180, 150, 160, 60, 235, 30});
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        StationFrame alteredStatus = status;
        alteredStatus[i] ^= 0x01;
        QCOMPARE(isStatusFrame(alteredStatus), kStatusVariableOffsets.count(i) == 1);

        StationFrame alteredProfile = profile;
        alteredProfile[i] ^= 0x80;
        QCOMPARE(isProfileFrame(alteredProfile), kProfileVariableOffsets.count(i) == 1);
    }
    QVERIFY(!isStatusFrame(StationFrame{}));
    QVERIFY(!isProfileFrame(StationFrame{}));
}

QTEST_GUILESS_MAIN(TestStationFrame)
#include "tst_stationframe.moc"
