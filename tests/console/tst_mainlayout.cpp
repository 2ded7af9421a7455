// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's arrangement: every control's place, size, font and colours, and how the bands
// stack.
#include "app/Application.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/TestDirs.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <optional>

using consoletest::control;

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

constexpr int kCentred = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int kRight = Qt::AlignRight | Qt::AlignVCenter;

constexpr int kBandHeights[] = {73, 48, 54, 35}; // Panel2, Panel4, Panel3, Panel1
constexpr int kUpperBands = 73 + 48 + 54;

int centralHeight(const TForm1& form) {
    return form.centralWidget()->height();
}

} // namespace

class TestMainLayout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowHasItsCaptionAndMenu();
    void controlsSitWhereDesigned_data();
    void controlsSitWhereDesigned();
    void controlsHaveTheirColours_data();
    void controlsHaveTheirColours();
    void operatorCannotTypeIntoListOrTargets();
    void bandsStackAndHiddenOnesGiveTheirHeightToTheChart_data();
    void bandsStackAndHiddenOnesGiveTheirHeightToTheChart();
    void windowNeverShrinksBelowItsMinimumAndGrowsTheChart();
    void captionsAreNotClipped();
    void captionsUseTahoma();

private:
    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<TForm1> m_form;
};

void TestMainLayout::initTestCase() {
    app::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
}

void TestMainLayout::init() {
    m_dir.emplace();
    m_dir->writeSettings(consoletest::kFullSettings); // every band shown
    m_form = consoletest::startConsole();
    QVERIFY(m_form);
}

void TestMainLayout::cleanup() {
    m_form.reset();
    m_dir.reset();
}

void TestMainLayout::windowHasItsCaptionAndMenu() {
    QCOMPARE(m_form->windowTitle(),
             QStringLiteral("Программа управления инфракрасной паяльной станцией"));
    auto* menu = control<QMenuBar>(*m_form, "MainMenu1");
    QVERIFY(menu);
    QCOMPARE(menu, m_form->menuBar());
    QStringList names, captions;
    for (QAction* action : menu->actions()) {
        names << action->objectName();
        captions << action->text();
        QVERIFY(!action->menu()); // commands, not submenus
    }
    QCOMPARE(names, (QStringList{"N3", "N4", "N6", "N2"}));
    QCOMPARE(captions,
             (QStringList{QStringLiteral("Общие настройки"), QStringLiteral("Редактор профилей"),
                          QStringLiteral("Выйти из программы"), QStringLiteral("?")}));
}

void TestMainLayout::controlsSitWhereDesigned_data() {
    QTest::addColumn<QString>("band");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("alignment");   // 0: not a label
    QTest::addColumn<QString>("caption"); // null: filled at run time

    auto row = [](const char* name, const char* band, QRect geometry, int px, int align,
                  const char* caption = nullptr) {
        QTest::newRow(name) << QString::fromLatin1(band) << geometry << px << align
                            << (caption ? QString::fromUtf8(caption) : QString());
    };
    row("Label3", "Panel2", {7, 4, 95, 37}, 13, kCentred, "Термопрофиль");
    row("ComboBox1", "Panel2", {7, 38, 95, 24}, 13, 0);
    row("Works", "Panel2", {106, 4, 121, 27}, 13, kCentred);
    row("FTimer", "Panel2", {106, 37, 121, 27}, 16, kCentred);
    row("TimerToZero", "Panel2", {232, 37, 34, 27}, 11, 0, "<0>");
    row("EditTemperatureUP", "Panel2", {272, 4, 121, 27}, 16, 0);
    row("EditTemperatureDown", "Panel2", {272, 37, 121, 27}, 16, 0);
    row("INTemperatureUP", "Panel2", {399, 4, 121, 27}, 16, kCentred);
    row("INTemperatureDown", "Panel2", {399, 37, 121, 27}, 16, kCentred);
    row("FormTextUp", "Panel2", {526, 4, 239, 27}, 13, kLeft,
        "температура верхнего нагревателя, °C");
    row("FormTextDown", "Panel2", {526, 37, 239, 27}, 13, kLeft,
        "температура нижнего нагревателя, °C");

    row("Label38", "Panel4", {5, 0, 247, 20}, 13, kCentred, "Наименование профиля");
    row("Label37", "Panel4", {7, 24, 247, 20}, 13, kCentred);
    row("Label10", "Panel4", {258, 0, 90, 20}, 13, kCentred,
        "\u0422"
        "0");
    row("Label4", "Panel4", {260, 24, 90, 20}, 13, kCentred);
    // Т and В are Cyrillic letters, S is Latin.
    const char* headings4[] = {"Label11", "Label12", "Label13", "Label14", "Label15"};
    const char* captions4[] = {"\u0422\u0412",
                               "\u0422"
                               "1",
                               "S1",
                               "\u0422"
                               "3",
                               "S3"};
    const char* values4[] = {"Label5", "Label6", "Label7", "Label8", "Label9"};
    for (int i = 0; i < 5; ++i) {
        row(headings4[i], "Panel4", {356 + 96 * i, 0, 90, 20}, 13, kCentred, captions4[i]);
        row(values4[i], "Panel4", {356 + 96 * i, 24, 90, 20}, 13, kCentred);
    }

    const char* headings3[] = {"Label24", "Label25", "Label26", "Label27", "Label28",
                               "Label29", "Label30", "Label31", "Label32", "Label33"};
    const char* values3[] = {"Label23", "Label16", "Label17", "Label18", "Label19",
                             "Label20", "Label21", "Label22", "Label34", "Label35"};
    const char* captions3[] = {"P1",   "P2",  "pGain", "iGain", "dGain",
                               "Tpid", "pBH", "kBH",   "Δ°t1",  "Δ°t2"};
    for (int i = 0; i < 10; ++i) {
        row(headings3[i], "Panel3", {7 + 66 * i, 6, 60, 20}, 13, kCentred, captions3[i]);
        row(values3[i], "Panel3", {7 + 66 * i, 31, 60, 20}, 13, kCentred);
    }

    row("ButtonConnect", "Panel1", {7, 4, 110, 25}, 11, 0, "Подключение");
    row("Button1", "Panel1", {116, 4, 110, 25}, 11, 0, "Передать профиль");
    row("Button3", "Panel1", {225, 4, 110, 25}, 11, 0);
    row("ButtonStart", "Panel1", {334, 4, 110, 25}, 11, 0, "Старт");
    row("ButtonStop", "Panel1", {443, 4, 110, 25}, 11, 0, "Стоп");
    row("Button2", "Panel1", {552, 4, 110, 25}, 11, 0, "Настройка порта");
    row("Label1", "Panel1", {663, 4, 50, 25}, 13, kCentred);
    row("Label2", "Panel1", {715, 4, 50, 25}, 13, kCentred);
    row("TextLinks", "Panel1", {770, 4, 91, 25}, 13, kCentred);
    row("Label36", "Panel1", {867, 4, 134, 25}, 13, kRight);
}

void TestMainLayout::controlsSitWhereDesigned() {
    QFETCH(QString, band);
    QFETCH(QRect, geometry);
    QFETCH(int, pixels);
    QFETCH(int, alignment);
    QFETCH(QString, caption);

    auto* widget = control<QWidget>(*m_form, QTest::currentDataTag());
    QVERIFY(widget);
    if (!caption.isNull()) {
        const QString shown = qobject_cast<QLabel*>(widget)
                                  ? qobject_cast<QLabel*>(widget)->text()
                                  : qobject_cast<QPushButton*>(widget)->text();
        QCOMPARE(shown, caption);
    }
    QCOMPARE(widget->parentWidget()->objectName(), band);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->font().pixelSize(), pixels);
    if (alignment != 0)
        QCOMPARE(int(control<QLabel>(*m_form, QTest::currentDataTag())->alignment()), alignment);
}

void TestMainLayout::controlsHaveTheirColours_data() {
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background"); // invalid: the panel shows through

    auto row = [](const char* name, QColor text, QColor background) {
        QTest::newRow(name) << text << background;
    };
    row("FTimer", kBlue, kWhite);
    row("INTemperatureUP", kRed, kWhite);
    row("INTemperatureDown", kRed, kWhite);
    row("EditTemperatureUP", kBlue, QColor());
    row("EditTemperatureDown", kBlue, QColor());
    for (const char* name : {"Label37", "Label4", "Label5", "Label6", "Label7", "Label8", "Label9",
                             "Label23", "Label16", "Label17", "Label18", "Label19", "Label20",
                             "Label21", "Label22", "Label34", "Label35", "Label1", "Label2"})
        row(name, kBlack, kWhite);
    row("TextLinks", kBlue, QColor());
    row("Label36", kBlue, QColor());
    row("Works", kBlue, QColor()); // idle after start-up
    row("Label3", QApplication::palette().color(QPalette::WindowText),
        QApplication::palette().color(QPalette::Midlight));
}

void TestMainLayout::controlsHaveTheirColours() {
    QFETCH(QColor, text);
    QFETCH(QColor, background);

    auto* widget = control<QWidget>(*m_form, QTest::currentDataTag());
    QVERIFY(widget);
    const bool isEdit = qobject_cast<QLineEdit*>(widget) != nullptr;
    QCOMPARE(widget->palette().color(isEdit ? QPalette::Text : QPalette::WindowText), text);
    if (background.isValid()) {
        QVERIFY(widget->autoFillBackground());
        QCOMPARE(widget->palette().color(widget->backgroundRole()), background);
    } else if (!isEdit) {
        QVERIFY(!widget->autoFillBackground());
    }
}

void TestMainLayout::operatorCannotTypeIntoListOrTargets() {
    auto* combo = control<QComboBox>(*m_form, "ComboBox1");
    QVERIFY(!combo->isEditable());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, (QStringList{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));

    for (const char* name : {"EditTemperatureUP", "EditTemperatureDown"}) {
        auto* edit = control<QLineEdit>(*m_form, name);
        QVERIFY(edit->isReadOnly());
        const QString before = edit->text();
        edit->setFocus();
        QTest::keyClicks(edit, "999");
        QCOMPARE(edit->text(), before);
    }
}

void TestMainLayout::bandsStackAndHiddenOnesGiveTheirHeightToTheChart_data() {
    QTest::addColumn<QByteArray>("global");
    QTest::addColumn<QStringList>("bands");
    QTest::addColumn<int>("chartGain"); // over the chart with every band shown

    QTest::newRow("all bands") << QByteArray("Hex=1\nVisibleProfil=1")
                               << QStringList{"Panel2", "Panel4", "Panel3", "Chart1", "Panel1"}
                               << 0;
    QTest::newRow("no profile strip") << QByteArray("Hex=1\nVisibleProfil=0")
                                      << QStringList{"Panel2", "Panel3", "Chart1", "Panel1"} << 48;
    QTest::newRow("no settings strip") << QByteArray("Hex=0\nVisibleProfil=1")
                                       << QStringList{"Panel2", "Panel4", "Chart1", "Panel1"} << 54;
    QTest::newRow("QMR, no profile strip")
        << QByteArray("Hex=0\nVisibleProfil=0") << QStringList{"Panel2", "Chart1", "Panel1"} << 102;
}

void TestMainLayout::bandsStackAndHiddenOnesGiveTheirHeightToTheChart() {
    QFETCH(QByteArray, global);
    QFETCH(QStringList, bands);
    QFETCH(int, chartGain);

    m_form.reset();
    m_dir->writeSettings(consoletest::globalOnly(global));
    m_form = consoletest::startConsole();
    QVERIFY(m_form);
    QTRY_VERIFY(m_form->centralWidget()->height() > 0);

    const int width = m_form->centralWidget()->width();
    const int chartHeight = centralHeight(*m_form) - kUpperBands - kBandHeights[3] + chartGain;
    QTRY_COMPARE(control<QWidget>(*m_form, "Chart1")->height(), chartHeight);
    int top = 0;
    QStringList shown;
    for (const char* name : {"Panel2", "Panel4", "Panel3", "Chart1", "Panel1"}) {
        auto* band = control<QWidget>(*m_form, name);
        if (!band->isVisibleTo(m_form.get()))
            continue;
        shown << QString::fromLatin1(name);
        QCOMPARE(band->parentWidget(), m_form->centralWidget());
        QCOMPARE(band->x(), 0);
        QCOMPARE(band->y(), top);
        QCOMPARE(band->width(), width);
        top += band->height();
    }
    QCOMPARE(shown, bands);
    QCOMPARE(top, centralHeight(*m_form));
    QCOMPARE(control<QWidget>(*m_form, "Panel2")->height(), 73);
    QCOMPARE(control<QWidget>(*m_form, "Panel1")->height(), 35);
}

void TestMainLayout::windowNeverShrinksBelowItsMinimumAndGrowsTheChart() {
    // The designed client area holds every band with a 500-pixel chart.
    QVERIFY(m_form->centralWidget()->width() >= 1008);
    QVERIFY(centralHeight(*m_form) >= 710);

    m_form->resize(600, 400);
    QTest::qWait(50);
    QVERIFY2(m_form->frameGeometry().width() >= 1024 && m_form->frameGeometry().height() >= 768,
             qPrintable(QStringLiteral("%1 x %2")
                            .arg(m_form->frameGeometry().width())
                            .arg(m_form->frameGeometry().height())));
    const QSize smallest = m_form->size();
    const int chartAtSmallest = control<QWidget>(*m_form, "Chart1")->height();
    QVERIFY(chartAtSmallest >= 500);

    m_form->resize(smallest + QSize(200, 150));
    QTRY_COMPARE(m_form->size(), smallest + QSize(200, 150));
    QTRY_COMPARE(control<QWidget>(*m_form, "Chart1")->height(), chartAtSmallest + 150);
    for (const char* name : {"Panel2", "Panel4", "Panel3", "Panel1", "Chart1"})
        QCOMPARE(control<QWidget>(*m_form, name)->width(), smallest.width() + 200);
    QCOMPARE(control<QWidget>(*m_form, "Panel2")->height(), 73);
    QCOMPARE(control<QWidget>(*m_form, "Panel4")->height(), 48);
    QCOMPARE(control<QWidget>(*m_form, "Panel3")->height(), 54);
    QCOMPARE(control<QWidget>(*m_form, "Panel1")->height(), 35);
    // Controls keep their places relative to their band.
    QCOMPARE(control<QWidget>(*m_form, "Label36")->geometry(), QRect(867, 4, 134, 25));
}

void TestMainLayout::captionsAreNotClipped() {
    // The widest texts each changing control shows.
    control<QLabel>(*m_form, "FTimer")->setText(QStringLiteral("23:59:59"));
    control<QLabel>(*m_form, "INTemperatureUP")->setText(QStringLiteral("-255"));
    control<QLabel>(*m_form, "INTemperatureDown")->setText(QStringLiteral("-255"));
    control<QLabel>(*m_form, "Label36")->setText(QStringLiteral("Прошивка не от QMR"));
    control<QLabel>(*m_form, "TextLinks")->setText(QStringLiteral("Не подключен"));
    control<QLabel>(*m_form, "Label2")->setText(QStringLiteral("115200"));
    control<QLabel>(*m_form, "Works")->setText(QStringLiteral("Простой"));
    control<QPushButton>(*m_form, "Button3")->setText(QStringLiteral("Вентилятор (выкл.)"));

    int checked = 0;
    for (const QLabel* label : m_form->findChildren<QLabel*>()) {
        if (label->text().isEmpty() || label->objectName().isEmpty())
            continue;
        const QFontMetrics metrics(label->font());
        const QRect room = label->contentsRect();
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= room.width(),
                 qPrintable(label->objectName() + QLatin1Char(' ') + label->text()));
        QVERIFY2(metrics.height() <= room.height(), qPrintable(label->objectName()));
        ++checked;
    }
    for (QPushButton* button : m_form->findChildren<QPushButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QFontMetrics metrics(button->font());
        QVERIFY2(metrics.horizontalAdvance(button->text()) <= room.width(),
                 qPrintable(button->objectName() + QLatin1Char(' ') + button->text()));
        ++checked;
    }
    for (const char* name : {"EditTemperatureUP", "EditTemperatureDown"}) {
        auto* edit = control<QLineEdit>(*m_form, name);
        QVERIFY(QFontMetrics(edit->font()).height() <= edit->height());
    }
    QVERIFY(checked > 40);
}

void TestMainLayout::captionsUseTahoma() {
    if (!QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")) &&
        !QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        QSKIP("no Tahoma and no metric-compatible clone installed");
    for (const char* name : {"Label3", "FTimer", "TextLinks", "Button3"}) {
        const QFontInfo info(control<QWidget>(*m_form, name)->font());
        QCOMPARE(info.family(), QStringLiteral("Tahoma"));
    }
}

QTEST_MAIN(TestMainLayout)
#include "tst_mainlayout.moc"
