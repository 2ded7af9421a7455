// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell: the six windows, the modal openings from the main window, and the end.
#include "app/Application.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/TestDirs.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <optional>

using consoletest::control;

class TestApplication : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sixWindowsWithTheirCaptionsAndFrames();
    void eachDialogOpensModallyAndReturns_data();
    void eachDialogOpensModallyAndReturns();
    void closingTheMainWindowEndsTheEventLoop();
    void qtTextsAreRussian_data();
    void qtTextsAreRussian();

private:
    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<app::Windows> m_windows;
};

void TestApplication::initTestCase() {
    app::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
}

void TestApplication::init() {
    m_dir.emplace();
    m_dir->writeSettings(consoletest::kFullSettings);
    m_windows = std::make_unique<app::Windows>();
}

void TestApplication::cleanup() {
    m_windows.reset();
    m_dir.reset();
}

void TestApplication::sixWindowsWithTheirCaptionsAndFrames() {
    app::Windows& w = *m_windows;
    QCOMPARE(w.Form1.windowTitle(),
             QStringLiteral("Программа управления инфракрасной паяльной станцией"));
    QVERIFY(!w.Form1.isVisible()); // shown by start-up, not by being built

    struct Expected {
        QDialog* dialog;
        QString caption;
        QSize client;
    };
    const Expected dialogs[] = {
        {&w.Form2, QStringLiteral("Общие настройки станции"), {587, 339}},
        {&w.Form3, QStringLiteral("Информация о программе"), {392, 138}},
        {&w.Form4, QStringLiteral("Настройки соединения"), {275, 97}},
        {&w.Form5, QString(), {466, 198}}, // captioned at each opening
        {&w.Form6, QStringLiteral("Редактор профилей"), {679, 334}},
    };
    for (const Expected& e : dialogs) {
        if (!e.caption.isNull())
            QCOMPARE(e.dialog->windowTitle(), e.caption);
        QCOMPARE(e.dialog->minimumSize(), e.client);
        QCOMPARE(e.dialog->maximumSize(), e.client);
        QVERIFY(!e.dialog->isVisible());
        // Owned by the console: no taskbar entries of their own.
        QVERIFY(e.dialog->parentWidget() != nullptr);
        QVERIFY(e.dialog->isWindow());
    }
}

void TestApplication::eachDialogOpensModallyAndReturns_data() {
    QTest::addColumn<QByteArray>("opener");
    QTest::addColumn<QString>("caption");
    QTest::newRow("N3") << QByteArray("N3") << QStringLiteral("Общие настройки станции");
    QTest::newRow("N2") << QByteArray("N2") << QStringLiteral("Информация о программе");
    QTest::newRow("Button2") << QByteArray("Button2") << QStringLiteral("Настройки соединения");
    QTest::newRow("N4") << QByteArray("N4") << QStringLiteral("Редактор профилей");
}

void TestApplication::eachDialogOpensModallyAndReturns() {
    QFETCH(QByteArray, opener);
    QFETCH(QString, caption);
    TForm1& main = m_windows->Form1;
    main.show();
    QTRY_VERIFY(!control<QLabel>(main, "Works")->text().isEmpty());
    main.StatusConnect = 1;
    main.Start();

    bool wasModal = false;
    QString seen;
    QTimer closer;
    closer.setInterval(5);
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        seen = dialog->windowTitle();
        wasModal = dialog->isModal();
        dialog->reject();
    });
    closer.start();

    if (auto* action = main.findChild<QAction*>(QLatin1String(opener)))
        action->trigger();
    else
        control<QPushButton>(main, opener.constData())->click();

    // The opener returned: the dialog was shown, modal, and is closed again.
    QCOMPARE(seen, caption);
    QVERIFY(wasModal);
    QVERIFY(!QApplication::activeModalWidget());
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    QCOMPARE(control<QLabel>(main, "Works")->text(), QStringLiteral("Пайка"));
}

void TestApplication::closingTheMainWindowEndsTheEventLoop() {
    TForm1& main = m_windows->Form1;
    main.show();
    QTRY_VERIFY(!control<QLabel>(main, "Works")->text().isEmpty());

    bool timedOut = false;
    QTimer fallback;
    fallback.setSingleShot(true);
    connect(&fallback, &QTimer::timeout, this, [&timedOut] {
        timedOut = true;
        QCoreApplication::quit();
    });
    fallback.start(20000);
    QTimer::singleShot(0, &main,
                       [&main] { main.findChild<QAction*>(QStringLiteral("N6"))->trigger(); });
    QApplication::exec();
    QVERIFY(!timedOut);
    QVERIFY(!main.isVisible());
}

void TestApplication::qtTextsAreRussian_data() {
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("english");
    QTest::addColumn<QString>("russian");
    QTest::newRow("a standard button") << "qtbase" << QByteArray("QPlatformTheme")
                                       << QByteArray("Cancel") << QStringLiteral("Отмена");
    QTest::newRow("the serial port")
        << "qtserialport" << QByteArray("QSerialPort") << QByteArray("Error reading from device")
        << QStringLiteral("Ошибка чтения из устройства");
}

// Qt's own texts come in Russian wherever Qt has a translation installed.
void TestApplication::qtTextsAreRussian() {
    QFETCH(QString, catalogue);
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, english);
    QFETCH(QString, russian);
    const QString file = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u'/' + catalogue +
                         QStringLiteral("_ru.qm");
    if (!QFile::exists(file))
        QSKIP(qPrintable(file + QStringLiteral(" is not installed here")));
    QCOMPARE(QCoreApplication::translate(context.constData(), english.constData()), russian);
}

QTEST_MAIN(TestApplication)
#include "tst_application.moc"
