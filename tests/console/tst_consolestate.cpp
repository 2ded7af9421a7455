// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's state and commands: start-up, firmware variant, run state, fan, profile choice.
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <optional>

using consoletest::control;

namespace {

const QString kNoLink = QStringLiteral("Нет соединения со станцией!");
const QString kProprietary = QStringLiteral("Выбрана проприетарная прошивка, действие невозможно!");
const QString kChangeWhileSoldering = QStringLiteral("Не рекомендуется менять профиль при пайке!");
const QString kFanOn = QStringLiteral("Вентилятор (вкл.)");
const QString kFanOff = QStringLiteral("Вентилятор (выкл.)");

QString text(const TForm1& form, const char* name) {
    if (auto* label = form.findChild<QLabel*>(QLatin1String(name)))
        return label->text();
    if (auto* edit = form.findChild<QLineEdit*>(QLatin1String(name)))
        return edit->text();
    if (auto* button = form.findChild<QPushButton*>(QLatin1String(name)))
        return button->text();
    return QStringLiteral("<no control %1>").arg(QLatin1String(name));
}

bool shown(const TForm1& form, const char* name) {
    const auto* widget = form.findChild<QWidget*>(QLatin1String(name));
    return widget && widget->isVisibleTo(&form);
}

QColor textColour(const TForm1& form, const char* name) {
    return control<QLabel>(form, name)->palette().color(QPalette::WindowText);
}

bool timerActive(const TForm1& form, const char* name) {
    return control<QTimer>(form, name)->isActive();
}

// The operator opens the drop-down list and picks an item in it.
void operatorSelects(QComboBox* combo, int index) {
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    QTRY_VERIFY(list->isVisible());
    list->setCurrentIndex(combo->model()->index(index, 0));
    QTest::keyClick(list, Qt::Key_Return);
}

// Counts the activations a window receives.
class ActivationCounter : public QObject {
public:
    explicit ActivationCounter(QWidget* window) { window->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowActivate)
            ++count;
        return false;
    }
};

} // namespace

class TestConsoleState : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void beforeActivationTheConsoleIsBlank();
    void startupFromNoFileShowsDefaults();
    void startupFromFullFileShowsEverything();
    void firmwareVariantDecidesStripAndConnect_data();
    void firmwareVariantDecidesStripAndConnect();
    void visibleProfilDecidesProfileStrip_data();
    void visibleProfilDecidesProfileStrip();
    void autoStartHidesStartAndStopOnlyOnExactValues_data();
    void autoStartHidesStartAndStopOnlyOnExactValues();
    void startAndStopRefuseWithoutLink_data();
    void startAndStopRefuseWithoutLink();
    void startAndStopSwitchTheRunWhileConnected();
    void secondStartKeepsTheClockRunning();
    void runOutlivesADisconnect();
    void fanButtonActsOnItsOwnToggle_data();
    void fanButtonActsOnItsOwnToggle();
    void operatorSelectionLoadsTheProfile();
    void selectionDuringRunWarnsThenLoads();
    void programSelectionIsNotAnOperatorChange();
    void returningFromADialogKeepsTheConsole_data();
    void returningFromADialogKeepsTheConsole();
    void dialogOperationsReachTheWindow();

private:
    std::optional<testsupport::TempAppDir> m_dir;
};

void TestConsoleState::init() {
    m_dir.emplace();
}

void TestConsoleState::cleanup() {
    m_dir.reset();
}

void TestConsoleState::beforeActivationTheConsoleIsBlank() {
    m_dir->writeSettings(consoletest::kFullSettings);
    TForm1 form; // built, never shown
    for (const char* name : {"Works", "FTimer", "TextLinks", "Label36", "Label1", "Label2"})
        QVERIFY2(text(form, name).isEmpty(), name);
    QCOMPARE(control<QComboBox>(form, "ComboBox1")->currentIndex(), -1);
    QCOMPARE(control<QComboBox>(form, "ComboBox1")->count(), 10);
    QVERIFY(!timerActive(form, "Timer1"));
    QVERIFY(!timerActive(form, "Timer2"));
    QCOMPARE(control<QTimer>(form, "Timer1")->interval(), 1000);
    QCOMPARE(control<QTimer>(form, "Timer2")->interval(), 1000);
}

void TestConsoleState::startupFromNoFileShowsDefaults() {
    auto form = consoletest::startConsole();
    QVERIFY(form);

    QCOMPARE(text(*form, "Label1"), QString());
    QCOMPARE(text(*form, "Label2"), QString());
    QCOMPARE(text(*form, "Label36"), QStringLiteral("Прошивка от QMR"));
    QCOMPARE(form->StatusQMR, 1);
    QVERIFY(!shown(*form, "Panel3"));
    QVERIFY(!shown(*form, "Panel4"));
    QVERIFY(shown(*form, "ButtonStart"));
    QVERIFY(shown(*form, "ButtonStop"));
    for (const char* name : {"Label4",
                             "Label5",
                             "Label6",
                             "Label7",
                             "Label8",
                             "Label9",
                             "EditTemperatureUP",
                             "EditTemperatureDown",
                             "Label23",
                             "Label16",
                             "Label17",
                             "Label18",
                             "Label19",
                             "Label20",
                             "Label21",
                             "Label22",
                             "Label34",
                             "Label35",
                             "INTemperatureUP",
                             "INTemperatureDown"})
        QCOMPARE(text(*form, name), QStringLiteral("0"));
    QCOMPARE(text(*form, "Label37"), QString());

    QCOMPARE(text(*form, "Works"), QStringLiteral("Простой"));
    QCOMPARE(textColour(*form, "Works"), QColor(0, 0, 255));
    QCOMPARE(text(*form, "FTimer"), QStringLiteral("00:00:00"));
    QCOMPARE(text(*form, "TextLinks"), QStringLiteral("Не подключен"));
    QCOMPARE(text(*form, "Button3"), kFanOff);
    QCOMPARE(control<QComboBox>(*form, "ComboBox1")->currentText(), QStringLiteral("0"));
    QCOMPARE(form->NumberProfil, QStringLiteral("0"));
    QCOMPARE(form->StatusConnect, 0);
    QCOMPARE(form->FanActiv, 0);
    QCOMPARE(form->AutoStart, 0);
    QCOMPARE(form->EnableFan, 0);
    QVERIFY(!timerActive(*form, "Timer1"));
    QVERIFY(!timerActive(*form, "Timer2"));
    // Reading never writes: the missing file stays missing.
    QVERIFY(!m_dir->readSettings().has_value());
}

void TestConsoleState::startupFromFullFileShowsEverything() {
    m_dir->writeSettings(consoletest::kFullSettings);
    auto form = consoletest::startConsole();
    QVERIFY(form);

    QCOMPARE(text(*form, "Label1"), QStringLiteral("Com3"));
    QCOMPARE(text(*form, "Label2"), QStringLiteral("19200"));
    QCOMPARE(text(*form, "Label36"), QStringLiteral("Прошивка не от QMR"));
    QCOMPARE(form->StatusQMR, 0);
    QVERIFY(shown(*form, "Panel3"));
    QVERIFY(shown(*form, "Panel4"));
    QVERIFY(shown(*form, "Label24"));
    QVERIFY(shown(*form, "Label35"));

    const QList<std::pair<const char*, const char*>> expected = {
        {"Label4", "180"},
        {"Label5", "150"},
        {"EditTemperatureDown", "150"},
        {"Label6", "160"},
        {"Label7", "60"},
        {"Label8", "235"},
        {"EditTemperatureUP", "235"},
        {"Label9", "30"},
        {"Label23", "90"},
        {"Label16", "80"},
        {"Label17", "120"},
        {"Label18", "3"},
        {"Label19", "40"},
        {"Label20", "20"},
        {"Label21", "70"},
        {"Label22", "5"},
        {"Label34", "-5"},
        {"Label35", "7"},
    };
    for (const auto& [name, value] : expected)
        QCOMPARE(text(*form, name), QString::fromLatin1(value));
    QCOMPARE(text(*form, "Label37"), QStringLiteral("Бессвинцовый BGA"));

    QCOMPARE(form->CorrectTB, -5);
    QCOMPARE(form->CorrectTH, 7);
    QCOMPARE(form->EnableFan, 1);
    QCOMPARE(form->TempEnableFan, 150);
    QCOMPARE(form->AutoStart, 0);
    QCOMPARE(form->NumberProfilTx, std::uint8_t(0));
    QCOMPARE(form->SoldDesold, std::uint8_t(0));
    QCOMPARE(text(*form, "TextLinks"), QStringLiteral("Не подключен"));
}

void TestConsoleState::firmwareVariantDecidesStripAndConnect_data() {
    QTest::addColumn<int>("hex");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("stripShown");
    QTest::addColumn<QString>("connectAnswer");

    // With the QMR variant the press reaches the link, which finds no speed in the file.
    QTest::newRow("QMR") << 0 << QStringLiteral("Прошивка от QMR") << false
                         << QStringLiteral("'' is not a valid integer value.");
    QTest::newRow("proprietary") << 1 << QStringLiteral("Прошивка не от QMR") << true
                                 << kProprietary;
    QTest::newRow("unknown value") << 2 << QString() << true << kProprietary;
}

void TestConsoleState::firmwareVariantDecidesStripAndConnect() {
    QFETCH(int, hex);
    QFETCH(QString, caption);
    QFETCH(bool, stripShown);
    QFETCH(QString, connectAnswer);

    m_dir->writeSettings(consoletest::globalOnly("Hex=" + QByteArray::number(hex)));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    QCOMPARE(text(*form, "Label36"), caption);
    QCOMPARE(shown(*form, "Panel3"), stripShown);
    QCOMPARE(shown(*form, "Label23"), stripShown);
    QCOMPARE(shown(*form, "Label33"), stripShown);
    QCOMPARE(form->StatusQMR, stripShown ? 0 : 1);

    testsupport::ModalWatcher watcher;
    control<QPushButton>(*form, "ButtonConnect")->click();
    QCOMPARE(watcher.texts(), QStringList{connectAnswer});
    QCOMPARE(form->StatusConnect, 0);
    QCOMPARE(text(*form, "TextLinks"), QStringLiteral("Не подключен"));
    QVERIFY(!timerActive(*form, "Timer2"));
}

void TestConsoleState::visibleProfilDecidesProfileStrip_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("stripShown");
    QTest::newRow("0 hides") << QByteArray("0") << false;
    QTest::newRow("1 shows") << QByteArray("1") << true;
    QTest::newRow("7 leaves it as laid out") << QByteArray("7") << true;
    QTest::newRow("-1 leaves it as laid out") << QByteArray("-1") << true;
}

void TestConsoleState::visibleProfilDecidesProfileStrip() {
    QFETCH(QByteArray, value);
    QFETCH(bool, stripShown);
    m_dir->writeSettings(consoletest::globalOnly("VisibleProfil=" + value));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    QCOMPARE(shown(*form, "Panel4"), stripShown);
}

void TestConsoleState::autoStartHidesStartAndStopOnlyOnExactValues_data() {
    QTest::addColumn<QByteArray>("atStartup");
    QTest::addColumn<bool>("shownAtStartup");
    QTest::addColumn<QByteArray>("afterSave");
    QTest::addColumn<bool>("shownAfterSave");
    QTest::addColumn<int>("storedAfterSave");

    QTest::newRow("1 then 0") << QByteArray("1") << false << QByteArray("0") << true << 0;
    QTest::newRow("1 then 5 keeps hidden")
        << QByteArray("1") << false << QByteArray("5") << false << 5;
    QTest::newRow("0 then 5 keeps shown")
        << QByteArray("0") << true << QByteArray("5") << true << 5;
    QTest::newRow("0 then 1") << QByteArray("0") << true << QByteArray("1") << false << 1;
    QTest::newRow("5 as laid out") << QByteArray("5") << true << QByteArray("1") << false << 1;
}

void TestConsoleState::autoStartHidesStartAndStopOnlyOnExactValues() {
    QFETCH(QByteArray, atStartup);
    QFETCH(bool, shownAtStartup);
    QFETCH(QByteArray, afterSave);
    QFETCH(bool, shownAfterSave);
    QFETCH(int, storedAfterSave);

    m_dir->writeSettings(consoletest::globalOnly("AutoStart=" + atStartup));
    auto form = consoletest::startConsole();
    QVERIFY(form);
    QCOMPARE(shown(*form, "ButtonStart"), shownAtStartup);
    QCOMPARE(shown(*form, "ButtonStop"), shownAtStartup);

    // A dialog saved the settings and asked the console to reload.
    m_dir->writeSettings(consoletest::globalOnly("AutoStart=" + afterSave));
    form->ReadProfil();
    QCOMPARE(form->AutoStart, storedAfterSave);
    QCOMPARE(shown(*form, "ButtonStart"), shownAfterSave);
    QCOMPARE(shown(*form, "ButtonStop"), shownAfterSave);
}

void TestConsoleState::startAndStopRefuseWithoutLink_data() {
    QTest::addColumn<QByteArray>("button");
    QTest::newRow("start") << QByteArray("ButtonStart");
    QTest::newRow("stop") << QByteArray("ButtonStop");
}

void TestConsoleState::startAndStopRefuseWithoutLink() {
    QFETCH(QByteArray, button);
    auto form = consoletest::startConsole();
    QVERIFY(form);

    testsupport::ModalWatcher watcher;
    control<QPushButton>(*form, button.constData())->click();
    QCOMPARE(watcher.texts(), QStringList{kNoLink});
    const testsupport::SeenBox& box = watcher.boxes().first();
    QCOMPARE(box.title, QCoreApplication::applicationName());
    QCOMPARE(box.buttonCount, 1);
    QCOMPARE(box.icon, QMessageBox::NoIcon);

    QCOMPARE(text(*form, "Works"), QStringLiteral("Простой"));
    QCOMPARE(textColour(*form, "Works"), QColor(0, 0, 255));
    QVERIFY(!timerActive(*form, "Timer1"));
}

void TestConsoleState::startAndStopSwitchTheRunWhileConnected() {
    auto form = consoletest::startConsole();
    QVERIFY(form);
    form->StatusConnect = 1; // Start and Stop look at nothing else of the link
    testsupport::ModalWatcher watcher;

    control<QPushButton>(*form, "ButtonStart")->click();
    QCOMPARE(text(*form, "Works"), QStringLiteral("Пайка"));
    QCOMPARE(textColour(*form, "Works"), QColor(255, 0, 0));
    QVERIFY(timerActive(*form, "Timer1"));

    control<QPushButton>(*form, "ButtonStop")->click();
    QCOMPARE(text(*form, "Works"), QStringLiteral("Простой"));
    QCOMPARE(textColour(*form, "Works"), QColor(0, 0, 255));
    QVERIFY(!timerActive(*form, "Timer1"));
    QVERIFY(watcher.boxes().isEmpty());
}

void TestConsoleState::secondStartKeepsTheClockRunning() {
    auto form = consoletest::startConsole();
    QVERIFY(form);
    form->StatusConnect = 1;
    auto* timer = control<QTimer>(*form, "Timer1");

    form->Start();
    QTest::qWait(400);
    form->Start();
    // A restarted timer would be back at a full second.
    QVERIFY2(timer->isActive() && timer->remainingTime() < 900,
             qPrintable(QString::number(timer->remainingTime())));
}

void TestConsoleState::runOutlivesADisconnect() {
    auto form = consoletest::startConsole();
    QVERIFY(form);
    form->StatusConnect = 1;
    form->Start();
    control<QLabel>(*form, "INTemperatureUP")->setText(QStringLiteral("201"));
    control<QLabel>(*form, "INTemperatureDown")->setText(QStringLiteral("133"));

    form->Connect(); // the operator disconnects during the run
    QCOMPARE(form->StatusConnect, 0);
    QCOMPARE(text(*form, "INTemperatureUP"), QStringLiteral("0"));
    QCOMPARE(text(*form, "INTemperatureDown"), QStringLiteral("0"));
    QCOMPARE(text(*form, "TextLinks"), QStringLiteral("Не подключен"));
    QCOMPARE(text(*form, "Works"), QStringLiteral("Пайка"));
    QVERIFY(timerActive(*form, "Timer1"));

    testsupport::ModalWatcher watcher;
    control<QPushButton>(*form, "ButtonStop")->click();
    QCOMPARE(watcher.texts(), QStringList{kNoLink});
    QCOMPARE(text(*form, "Works"), QStringLiteral("Пайка"));
    QVERIFY(timerActive(*form, "Timer1"));
}

void TestConsoleState::fanButtonActsOnItsOwnToggle_data() {
    QTest::addColumn<int>("statusFan");
    QTest::addColumn<int>("fanActiv");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("statusFanAfter");
    QTest::addColumn<int>("fanActivAfter");
    QTest::addColumn<QString>("captionAfter");

    QTest::newRow("off to on") << 0 << 0 << kFanOff << 1 << 64 << kFanOn;
    QTest::newRow("on to off") << 1 << 64 << kFanOn << 0 << 0 << kFanOff;
    // The automatic rule changed the caption and the request but not the toggle.
    QTest::newRow("rule said on, toggle off") << 0 << 64 << kFanOn << 1 << 64 << kFanOn;
    QTest::newRow("rule said off, toggle on") << 1 << 0 << kFanOff << 0 << 0 << kFanOff;
}

void TestConsoleState::fanButtonActsOnItsOwnToggle() {
    QFETCH(int, statusFan);
    QFETCH(int, fanActiv);
    QFETCH(QString, caption);
    QFETCH(int, statusFanAfter);
    QFETCH(int, fanActivAfter);
    QFETCH(QString, captionAfter);

    auto form = consoletest::startConsole();
    QVERIFY(form);
    auto* button = control<QPushButton>(*form, "Button3");
    form->StatusFan = statusFan;
    form->FanActiv = fanActiv;
    button->setText(caption);

    testsupport::ModalWatcher watcher;
    button->click(); // no link needed
    QCOMPARE(form->StatusFan, statusFanAfter);
    QCOMPARE(form->FanActiv, fanActivAfter);
    QCOMPARE(button->text(), captionAfter);
    QVERIFY(watcher.boxes().isEmpty());
}

void TestConsoleState::operatorSelectionLoadsTheProfile() {
    m_dir->writeSettings(consoletest::kFullSettings);
    auto form = consoletest::startConsole();
    QVERIFY(form);
    testsupport::ModalWatcher watcher;

    operatorSelects(control<QComboBox>(*form, "ComboBox1"), 3);
    QCOMPARE(form->NumberProfil, QStringLiteral("3"));
    QCOMPARE(form->NumberProfilTx, std::uint8_t(3));
    QCOMPARE(text(*form, "Label4"), QStringLiteral("100"));
    QCOMPARE(text(*form, "Label8"), QStringLiteral("16"));
    QCOMPARE(text(*form, "EditTemperatureUP"), QStringLiteral("16"));
    QCOMPARE(text(*form, "Label9"), QStringLiteral("-7"));
    QCOMPARE(text(*form, "Label37"), QStringLiteral("Свинец"));

    operatorSelects(control<QComboBox>(*form, "ComboBox1"), 4); // a profile with no section
    QCOMPARE(form->NumberProfilTx, std::uint8_t(4));
    QCOMPARE(text(*form, "Label4"), QStringLiteral("0"));
    QCOMPARE(text(*form, "Label37"), QString());
    QVERIFY(watcher.boxes().isEmpty());
}

void TestConsoleState::selectionDuringRunWarnsThenLoads() {
    m_dir->writeSettings(consoletest::kFullSettings);
    auto form = consoletest::startConsole();
    QVERIFY(form);
    form->StatusConnect = 1;
    form->Start();

    // Look at the window while the warning is up: the old profile is still shown.
    QString nameWhileWarned;
    QString warning;
    QTimer answer;
    answer.setInterval(5);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        warning = box->text();
        nameWhileWarned = text(*form, "Label37");
        box->button(QMessageBox::Ok)->click();
    });
    answer.start();

    operatorSelects(control<QComboBox>(*form, "ComboBox1"), 3);
    QCOMPARE(warning, kChangeWhileSoldering);
    QCOMPARE(nameWhileWarned, QStringLiteral("Бессвинцовый BGA"));
    QCOMPARE(text(*form, "Label37"), QStringLiteral("Свинец"));
    QCOMPARE(form->NumberProfilTx, std::uint8_t(3));
    QCOMPARE(text(*form, "Works"), QStringLiteral("Пайка"));
}

void TestConsoleState::programSelectionIsNotAnOperatorChange() {
    m_dir->writeSettings(consoletest::kFullSettings);
    auto form = consoletest::startConsole();
    QVERIFY(form);
    form->StatusConnect = 1;
    form->Start();
    testsupport::ModalWatcher watcher;

    control<QComboBox>(*form, "ComboBox1")->setCurrentIndex(3);
    QTest::qWait(50);
    QVERIFY(watcher.boxes().isEmpty());
    QCOMPARE(text(*form, "Label37"), QStringLiteral("Бессвинцовый BGA"));
    QCOMPARE(form->NumberProfilTx, std::uint8_t(0));
}

void TestConsoleState::returningFromADialogKeepsTheConsole_data() {
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("N3 general settings") << QByteArray("N3") << QStringLiteral("form2");
    QTest::newRow("N2 about") << QByteArray("N2") << QStringLiteral("form3");
    QTest::newRow("Button2 connection") << QByteArray("Button2") << QStringLiteral("form4");
    QTest::newRow("N4 profile editor") << QByteArray("N4") << QStringLiteral("form6");
}

void TestConsoleState::returningFromADialogKeepsTheConsole() {
    QFETCH(QByteArray, opener);
    QFETCH(QString, dialog);

    m_dir->writeSettings(consoletest::kFullSettings);
    auto form = consoletest::startConsole();
    QVERIFY(form);
    QDialog form2(form.get()), form3(form.get()), form4(form.get()), form6(form.get());
    form2.setWindowTitle(QStringLiteral("form2"));
    form3.setWindowTitle(QStringLiteral("form3"));
    form4.setWindowTitle(QStringLiteral("form4"));
    form6.setWindowTitle(QStringLiteral("form6"));
    form->setDialogs(&form2, &form3, &form4, &form6);

    operatorSelects(control<QComboBox>(*form, "ComboBox1"), 3);
    form->StatusConnect = 1;
    form->Start();
    control<QLabel>(*form, "FTimer")->setText(QStringLiteral("00:01:15"));
    // What the start-up initialisation would pick up if it ran again.
    m_dir->writeSettings(consoletest::globalOnly("Hex=0\nVisibleProfil=0"));

    consoletest::DialogCloser closer;
    ActivationCounter activations(form.get());
    if (auto* action = form->findChild<QAction*>(QLatin1String(opener)))
        action->trigger();
    else
        control<QPushButton>(*form, opener.constData())->click();
    QCOMPARE(closer.closed(), QStringList{dialog});
    // The operator is back at the console: it becomes the active window again.
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QTRY_VERIFY(activations.count >= 1);
    QTest::qWait(50);

    QCOMPARE(control<QComboBox>(*form, "ComboBox1")->currentIndex(), 3);
    QCOMPARE(text(*form, "Works"), QStringLiteral("Пайка"));
    QCOMPARE(text(*form, "FTimer"), QStringLiteral("00:01:15"));
    QCOMPARE(text(*form, "Label36"), QStringLiteral("Прошивка не от QMR"));
    QCOMPARE(form->StatusConnect, 1);
    QVERIFY(shown(*form, "Panel4"));
    QVERIFY(timerActive(*form, "Timer1"));
}

void TestConsoleState::dialogOperationsReachTheWindow() {
    m_dir->writeSettings(consoletest::kFullSettings);
    auto form = consoletest::startConsole();
    QVERIFY(form);

    form->SetConnectionLabels(QStringLiteral("Com5"), QStringLiteral("57600"));
    QCOMPARE(text(*form, "Label1"), QStringLiteral("Com5"));
    QCOMPARE(text(*form, "Label2"), QStringLiteral("57600"));
    form->SetFirmwareCaption(QStringLiteral("Прошивка от QMR"));
    QCOMPARE(text(*form, "Label36"), QStringLiteral("Прошивка от QMR"));
    form->SetProfileStripVisible(false);
    QVERIFY(!shown(*form, "Panel4"));

    form->InVisibleSettingPID();
    QCOMPARE(form->StatusQMR, 1);
    QVERIFY(!shown(*form, "Panel3"));
    form->VisibleSettingPID();
    QCOMPARE(form->StatusQMR, 0);
    QVERIFY(shown(*form, "Panel3"));
    QVERIFY(shown(*form, "Label16"));
    QVERIFY(shown(*form, "Label24"));
}

QTEST_MAIN(TestConsoleState)
#include "tst_consolestate.moc"
