// SPDX-License-Identifier: GPL-3.0-or-later
// What a run is judged by, read from and written to section Record of a real settings file.
#include "config/SettingsFile.h"
#include "console/RecordOptions.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(record::RunLimits)

namespace {

record::RunLimits limits(std::int32_t tolerance, std::int32_t liquidus,
                         std::optional<double> maxRise = std::nullopt,
                         std::optional<std::int32_t> minLiquidusSeconds = std::nullopt) {
    return {tolerance, liquidus, maxRise, minLiquidusSeconds};
}

} // namespace

class TestRunLimits : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readAsTheFileSaysOrTheDefault_data();
    void readAsTheFileSaysOrTheDefault();
    void savedLimitsReadBackAndLeaveTheRestAlone_data();
    void savedLimitsReadBackAndLeaveTheRestAlone();

private:
    QString write(const QByteArray& text);
    std::optional<QTemporaryDir> m_dir;
};

void TestRunLimits::init() {
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

QString TestRunLimits::write(const QByteArray& text) {
    const QString path = m_dir->filePath(QStringLiteral("Iniprofil.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write the settings file");
    return path;
}

void TestRunLimits::readAsTheFileSaysOrTheDefault_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<record::RunLimits>("expected");
    QTest::newRow("no file section") << QByteArray("[Global]\nCorrect1=3\n") << limits(5, 217);
    QTest::newRow("all four") << QByteArray("[Record]\nTolerance=3\nLiquidus=183\nMaxRise=2.5\n"
                                            "MinLiquidusSeconds=45\n")
                              << limits(3, 183, 2.5, 45);
    QTest::newRow("decimal comma") << QByteArray("[Record]\nMaxRise=1,5\n") << limits(5, 217, 1.5);
    QTest::newRow("zero tolerance is exact")
        << QByteArray("[Record]\nTolerance=0\n") << limits(0, 217);
    QTest::newRow("limits of 0 are unset")
        << QByteArray("[Record]\nMaxRise=0\nMinLiquidusSeconds=0\n") << limits(5, 217);
    QTest::newRow("negatives")
        << QByteArray("[Record]\nTolerance=-2\nLiquidus=-217\nMaxRise=-3\nMinLiquidusSeconds=-9\n")
        << limits(5, 217);
    QTest::newRow("out of range") << QByteArray("[Record]\nTolerance=101\nLiquidus=501\n")
                                  << limits(5, 217);
    QTest::newRow("not numbers")
        << QByteArray("[Record]\nTolerance=пять\nLiquidus=\nMaxRise=nan\nMinLiquidusSeconds=1e3\n")
        << limits(5, 217);
    QTest::newRow("infinite rise") << QByteArray("[Record]\nMaxRise=inf\n") << limits(5, 217);
    QTest::newRow("case of the keys")
        << QByteArray("[record]\ntolerance=8\nliquidus=220\n") << limits(8, 220);
}

void TestRunLimits::readAsTheFileSaysOrTheDefault() {
    QFETCH(QByteArray, text);
    QFETCH(record::RunLimits, expected);
    const config::SettingsFile ini(write(text));
    QCOMPARE(console::readRunLimits(ini), expected);
    QCOMPARE(console::readTolerance(ini), expected.tolerance);
}

void TestRunLimits::savedLimitsReadBackAndLeaveTheRestAlone_data() {
    QTest::addColumn<record::RunLimits>("saved");
    QTest::addColumn<QByteArray>("lines");
    QTest::newRow("defaults") << limits(5, 217)
                              << QByteArray("Tolerance=5\nLiquidus=217\nMaxRise=0\n"
                                            "MinLiquidusSeconds=0\n");
    QTest::newRow("every limit") << limits(2, 183, 2.5, 60)
                                 << QByteArray("Tolerance=2\nLiquidus=183\nMaxRise=2.5\n"
                                               "MinLiquidusSeconds=60\n");
}

void TestRunLimits::savedLimitsReadBackAndLeaveTheRestAlone() {
    QFETCH(record::RunLimits, saved);
    QFETCH(QByteArray, lines);
    const QByteArray before = "[Global]\nCorrect1=-5\n[Record]\nAutoSave=0\n";
    const QString path = write(before);
    {
        config::SettingsFile ini(path);
        console::writeRunLimits(ini, saved);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray after = file.readAll();
    QVERIFY2(after.startsWith("[Global]\nCorrect1=-5\n"), after.constData());
    QVERIFY2(after.contains("[Record]\nAutoSave=0\n" + lines), after.constData());
    const config::SettingsFile ini(path);
    QCOMPARE(console::readRunLimits(ini), saved);
}

QTEST_GUILESS_MAIN(TestRunLimits)
#include "tst_runlimits.moc"
