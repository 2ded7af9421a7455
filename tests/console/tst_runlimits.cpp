// SPDX-License-Identifier: GPL-3.0-or-later
// What a run is judged by: read from and written to section Record of a real settings file,
// typed into the dialog "Допуски прогона", checked, and saved only by its save.
#include "config/SettingsFile.h"
#include "console/RecordOptions.h"
#include "console/RunLimitsDialog.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
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
    void typedLimitsAreCheckedField_data();
    void typedLimitsAreCheckedField();
    void dialogShowsTheFileAndSavesOnlyOnSave();
    void refusedFieldWritesNothing();

private:
    QString write(const QByteArray& text);
    void type(console::RunLimitsDialog& dialog, const char* name, const QString& text);
    std::optional<testsupport::TempAppDir> m_dir;
};

void TestRunLimits::init() {
    m_dir.emplace();
}

QString TestRunLimits::write(const QByteArray& text) {
    const QString path = m_dir->settingsPath();
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

void TestRunLimits::type(console::RunLimitsDialog& dialog, const char* name, const QString& text) {
    auto* edit = dialog.findChild<QLineEdit*>(QLatin1String(name));
    QVERIFY2(edit, name);
    edit->setText(text);
}

void TestRunLimits::typedLimitsAreCheckedField_data() {
    QTest::addColumn<QStringList>("texts"); // tolerance, liquidus, rise, seconds
    QTest::addColumn<record::RunLimits>("limits");
    QTest::addColumn<QString>("refusal");
    const record::RunLimits none;
    QTest::newRow("defaults, limits empty")
        << QStringList{"5", "217", "", ""} << limits(5, 217) << QString();
    QTest::newRow("every limit, comma and blanks")
        << QStringList{" 3 ", "183", "2,5", "60"} << limits(3, 183, 2.5, 60) << QString();
    QTest::newRow("a rise with a point")
        << QStringList{"0", "500", "1.5", " "} << limits(0, 500, 1.5) << QString();
    QTest::newRow("tolerance empty")
        << QStringList{"", "217", "", ""} << none << "Допуск: целое число от 0 до 100 °C.";
    QTest::newRow("tolerance negative")
        << QStringList{"-1", "217", "", ""} << none << "Допуск: целое число от 0 до 100 °C.";
    QTest::newRow("tolerance decimal")
        << QStringList{"2,5", "217", "", ""} << none << "Допуск: целое число от 0 до 100 °C.";
    QTest::newRow("liquidus 0") << QStringList{"5", "0", "", ""} << none
                                << "Ликвидус: целое число от 1 до 500 °C.";
    QTest::newRow("liquidus text")
        << QStringList{"5", "двести", "", ""} << none << "Ликвидус: целое число от 1 до 500 °C.";
    QTest::newRow("rise 0") << QStringList{"5", "217", "0", ""} << none
                            << "Наибольшая скорость нагрева: число больше 0 °C/с или пусто.";
    QTest::newRow("rise text") << QStringList{"5", "217", "3 °C", ""} << none
                               << "Наибольшая скорость нагрева: число больше 0 °C/с или пусто.";
    QTest::newRow("seconds 0") << QStringList{"5", "217", "", "0"} << none
                               << "Время выше ликвидуса: целое число секунд больше 0 или пусто.";
    QTest::newRow("seconds decimal") << QStringList{"5", "217", "", "1.5"} << none
                                     << "Время выше ликвидуса: целое число секунд больше 0 или "
                                        "пусто.";
}

void TestRunLimits::typedLimitsAreCheckedField() {
    QFETCH(QStringList, texts);
    QFETCH(record::RunLimits, limits);
    QFETCH(QString, refusal);
    const console::ParsedRunLimits parsed =
        console::parseRunLimits({texts[0], texts[1], texts[2], texts[3]});
    QCOMPARE(parsed.refusal, refusal);
    QCOMPARE(parsed.limits.has_value(), refusal.isEmpty());
    if (parsed.limits)
        QCOMPARE(*parsed.limits, limits);
}

// Each showing reads the file afresh; "Выйти" writes nothing; "Сохранить" writes
// the four keys and nothing else.
void TestRunLimits::dialogShowsTheFileAndSavesOnlyOnSave() {
    const QByteArray before = "[Record]\nTolerance=4\nMaxRise=1,5\n";
    write(before);
    console::RunLimitsDialog dialog;
    dialog.show();
    QCOMPARE(dialog.findChild<QLineEdit*>("EditTolerance")->text(), QStringLiteral("4"));
    QCOMPARE(dialog.findChild<QLineEdit*>("EditLiquidus")->text(), QStringLiteral("217"));
    QCOMPARE(dialog.findChild<QLineEdit*>("EditMaxRise")->text(), QStringLiteral("1,5"));
    QCOMPARE(dialog.findChild<QLineEdit*>("EditMinLiquidusSeconds")->text(), QString());
    type(dialog, "EditTolerance", QStringLiteral("9"));
    dialog.findChild<QPushButton*>("ButtonClose")->click();
    QCOMPARE(m_dir->readSettings(), before);

    write("[Record]\nTolerance=6\n");
    dialog.show(); // a new showing reads the file again
    QCOMPARE(dialog.findChild<QLineEdit*>("EditTolerance")->text(), QStringLiteral("6"));
    type(dialog, "EditLiquidus", QStringLiteral("183"));
    type(dialog, "EditMinLiquidusSeconds", QStringLiteral("45"));
    dialog.findChild<QPushButton*>("ButtonSave")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_dir->readSettings(), QByteArray("[Record]\nTolerance=6\nLiquidus=183\nMaxRise=0\n"
                                               "MinLiquidusSeconds=45\n"));
}

void TestRunLimits::refusedFieldWritesNothing() {
    const QByteArray before = "[Record]\nTolerance=4\n";
    write(before);
    console::RunLimitsDialog dialog;
    dialog.show();
    type(dialog, "EditTolerance", QStringLiteral("101"));
    testsupport::ModalWatcher boxes;
    QVERIFY(!dialog.save());
    QCOMPARE(boxes.texts(), QStringList{"Допуск: целое число от 0 до 100 °C."});
    QCOMPARE(m_dir->readSettings(), before);
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(TestRunLimits)
#include "tst_runlimits.moc"
