// SPDX-License-Identifier: GPL-3.0-or-later
// The three settings dialogs as built: frames, controls in their places and fonts, captions, tab
// order.
#include "dialogs/Unit2.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit4.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/TestDirs.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

using dialogtest::control;

namespace {

constexpr int k8pt = 11;
constexpr int k10pt = 13;
constexpr int k12pt = 16;
constexpr int k16pt = 21;

QString shownText(const QWidget* widget) {
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* list = qobject_cast<const QComboBox*>(widget))
        return list->currentText();
    return QStringLiteral("<%1>").arg(QLatin1String(widget->metaObject()->className()));
}

// Every control of the three dialogs with its box (left, top, width, height), its text and its
// font size in pixels.
struct Box {
    QString form;
    QString name;
    QRect geometry;
    QString text;
    int fontPx;
};

QList<Box> designedBoxes() {
    QList<Box> boxes;
    const auto box = [&boxes](const char* form, const char* name, QRect geometry, const char* text,
                              int fontPx) {
        boxes.append({QString::fromLatin1(form), QString::fromLatin1(name), geometry,
                      QString::fromUtf8(text), fontPx});
    };

    // General settings: the number rows (fields start empty), then the switches.
    const char* const fields[] = {"EditP1",   "EditP2",  "EditpGain", "EditiGain", "EditdGain",
                                  "EditTpid", "EditpBH", "EditkBH",   "Edit1",     "Edit2"};
    for (int i = 0; i < 10; ++i)
        box("Form2", fields[i], {8, 8 + 21 * i, 121, 24}, "", k10pt);
    box("Form2", "Label1", {135, 8, 442, 16},
        "(50%-100%) - мощность верхнего нагревателя между T0 и T1 по графику", k10pt);
    box("Form2", "Label2", {135, 30, 439, 16},
        "(50%-100%) - мощность нижнего нагревателя между T1 и T3 по графику", k10pt);
    box("Form2", "Label3", {135, 51, 264, 16}, "(0-255) - коэффициент пропорциональности", k10pt);
    box("Form2", "Label4", {135, 72, 235, 16}, "(0-255) - коэффициент интегрирования", k10pt);
    box("Form2", "Label5", {135, 93, 265, 16}, "(0-255) - коэффициент дифференцирования", k10pt);
    box("Form2", "Label6", {135, 114, 127, 16}, "(10-30) - период ПИД", k10pt);
    box("Form2", "Label7", {135, 135, 278, 16}, "(50%-100%) - мощность нижнего нагревателя", k10pt);
    box("Form2", "Label8", {135, 156, 212, 16}, "коэффициент нижнего нагревателя", k10pt);
    box("Form2", "Label9", {135, 177, 311, 16}, "корректоровка температуры верхнего термодатчика",
        k10pt);
    box("Form2", "Label10", {135, 198, 308, 16}, "корректировка температуры нижнего термодатчика",
        k10pt);
    box("Form2", "CheckBox2", {8, 223, 281, 20}, " автоматическое включение вентилятора", k10pt);
    box("Form2", "Edit3", {295, 223, 121, 24}, "", k10pt);
    box("Form2", "Label11", {422, 226, 311, 16}, "температура включения", k10pt);
    box("Form2", "CheckBox1", {8, 249, 289, 20}, " показывать значения профиля на главной", k10pt);
    box("Form2", "CheckBox3", {303, 249, 289, 20}, " автоматический старт от станции", k10pt);
    box("Form2", "RadioButton1", {8, 275, 217, 20}, "  прошивка от QMR", k10pt);
    box("Form2", "RadioButton2", {8, 301, 217, 20}, "  проприетарная прошивка", k10pt);
    box("Form2", "SaveForms", {371, 311, 100, 20}, "Сохранить", k8pt);
    box("Form2", "CloseForm", {477, 311, 100, 20}, "Выйти", k8pt);

    // About.
    box("Form3", "Label1", {9, 8, 375, 25}, "Программа управления инфракрасной", k16pt);
    box("Form3", "Label6", {9, 39, 375, 25}, "паяльной станцией", k16pt);
    box("Form3", "Label2", {8, 70, 376, 19}, "Версия программы: v1.0.0.2", k12pt);
    box("Form3", "Label4", {8, 91, 376, 19}, "Авторы: участники проекта irconsole", k12pt);
    box("Form3", "Label3", {8, 111, 376, 19}, "Проект irconsole, 2026 г.", k12pt);

    // Connection: the lists start without a choice; "сом" is Cyrillic.
    box("Form4", "ComboBox1", {10, 8, 100, 24}, "", k10pt);
    box("Form4", "Label1", {135, 8, 114, 19}, "  номер \u0441\u043e\u043c порта", k10pt);
    box("Form4", "ComboBox2", {10, 41, 100, 24}, "", k10pt);
    box("Form4", "Label2", {133, 41, 116, 19}, "  скорость обмена", k10pt);
    box("Form4", "SaveForms", {29, 71, 100, 20}, "Сохранить", k8pt);
    box("Form4", "CloseForm", {146, 71, 100, 20}, "Выйти", k8pt);
    return boxes;
}

} // namespace

class TestDialogLayout : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void framesHaveTheirCaptionSizeAndButtons_data();
    void framesHaveTheirCaptionSizeAndButtons();
    void controlsSitInTheirPlacesWithTheirTexts_data();
    void controlsSitInTheirPlacesWithTheirTexts();
    void everyControlHasItsBox_data();
    void everyControlHasItsBox();
    void captionsShowWholeInTheirBoxes_data();
    void captionsShowWholeInTheirBoxes();
    void escapeAndEnterLeaveTheDialogOpen_data();
    void escapeAndEnterLeaveTheDialogOpen();
    void tabMovesInTheDesignedOrder_data();
    void tabMovesInTheDesignedOrder();
    void connectionListsHoldTheirFixedItems();
    void aboutShowsTheSameLinesAtEveryOpening();

private:
    QDialog* dialog(const QString& name) const;
    void addFormRows() const;

    std::optional<testsupport::TempAppDir> m_dir;
    std::unique_ptr<TForm1> m_form1;
    TForm2* m_form2 = nullptr; // the three are owned by the main window
    TForm3* m_form3 = nullptr;
    TForm4* m_form4 = nullptr;
};

void TestDialogLayout::init() {
    m_dir.emplace();
    m_form1 = std::make_unique<TForm1>();
    m_form2 = new TForm2(*m_form1);
    m_form3 = new TForm3(m_form1.get());
    m_form4 = new TForm4(*m_form1);
    m_form1->setDialogs(m_form2, m_form3, m_form4, nullptr);
}

void TestDialogLayout::cleanup() {
    m_form1.reset();
    m_dir.reset();
}

QDialog* TestDialogLayout::dialog(const QString& name) const {
    if (name == u"Form2")
        return m_form2;
    if (name == u"Form3")
        return m_form3;
    return m_form4;
}

void TestDialogLayout::framesHaveTheirCaptionSizeAndButtons_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("clientSize");
    QTest::addColumn<bool>("closeButton");

    QTest::newRow("general settings")
        << QStringLiteral("Form2") << QStringLiteral("Общие настройки станции") << QSize(587, 339)
        << false;
    QTest::newRow("about") << QStringLiteral("Form3") << QStringLiteral("Информация о программе")
                           << QSize(392, 138) << true;
    QTest::newRow("connection") << QStringLiteral("Form4") << QStringLiteral("Настройки соединения")
                                << QSize(275, 97) << false;
}

void TestDialogLayout::framesHaveTheirCaptionSizeAndButtons() {
    QFETCH(QString, form);
    QFETCH(QString, caption);
    QFETCH(QSize, clientSize);
    QFETCH(bool, closeButton);

    const QWidget* window = dialog(form);
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(window->size(), clientSize);
    QCOMPARE(window->minimumSize(), clientSize);
    QCOMPARE(window->maximumSize(), clientSize);
    const Qt::WindowFlags flags = window->windowFlags();
    QCOMPARE(flags.testFlag(Qt::WindowCloseButtonHint), closeButton);
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(window->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(window->font().pixelSize(), k8pt);
}

void TestDialogLayout::controlsSitInTheirPlacesWithTheirTexts_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontPx");

    for (const Box& box : designedBoxes())
        QTest::addRow("%s %s", qPrintable(box.form), qPrintable(box.name))
            << box.form << box.name << box.geometry << box.text << box.fontPx;
}

void TestDialogLayout::controlsSitInTheirPlacesWithTheirTexts() {
    QFETCH(QString, form);
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(int, fontPx);

    const QWidget* window = dialog(form);
    const auto* widget = window->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(widget->parentWidget(), window);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(shownText(widget), text);
    QCOMPARE(widget->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(widget->font().pixelSize(), fontPx);

    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        QVERIFY(label->alignment().testFlag(Qt::AlignVCenter));
        // The about lines are centred and black; the other labels start at their left edge.
        QCOMPARE(label->alignment().testFlag(Qt::AlignHCenter), form == u"Form3");
        if (form == u"Form3")
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
    }
}

void TestDialogLayout::addFormRows() const {
    QTest::addColumn<QString>("form");
    QTest::newRow("general settings") << QStringLiteral("Form2");
    QTest::newRow("about") << QStringLiteral("Form3");
    QTest::newRow("connection") << QStringLiteral("Form4");
}

void TestDialogLayout::everyControlHasItsBox_data() {
    addFormRows();
}

// The table above is the whole dialog: no control sits where no box was designed.
void TestDialogLayout::everyControlHasItsBox() {
    QFETCH(QString, form);
    QStringList listed;
    for (const Box& box : designedBoxes()) {
        if (box.form == form)
            listed << box.name;
    }
    QCOMPARE(testsupport::unlistedControls(*dialog(form), listed), QStringList());
}

void TestDialogLayout::captionsShowWholeInTheirBoxes_data() {
    addFormRows();
}

// Whatever the font on this machine renders, once the dialog is shown the boxes
// stay as designed and every caption fits in its box, drawn tighter where it has to be.
void TestDialogLayout::captionsShowWholeInTheirBoxes() {
    QFETCH(QString, form);
    QDialog* window = dialog(form);
    window->show(); // the captions are fitted when the dialog is first shown
    QVERIFY(window->isVisible());
    const QStringList wider = testsupport::captionsWiderThanTheirBox(*window);
    window->hide();
    QVERIFY2(wider.isEmpty(), qPrintable(wider.join(QStringLiteral("; "))));
}

void TestDialogLayout::escapeAndEnterLeaveTheDialogOpen_data() {
    addFormRows();
}

// Opened as the operator opens it; Escape and Enter, on the dialog and on the
// control that has the focus, leave it open. The about box too: only its
// title-bar close button closes it.
void TestDialogLayout::escapeAndEnterLeaveTheDialogOpen() {
    QFETCH(QString, form);
    QDialog* window = dialog(form);
    const std::function<void()> open = [this, &form] {
        if (form == u"Form2")
            control<QAction>(*m_form1, "N3")->trigger();
        else if (form == u"Form3")
            control<QAction>(*m_form1, "N2")->trigger();
        else
            control<QPushButton>(*m_form1, "Button2")->click();
    };
    QStringList closedBy;
    const bool modal = dialogtest::duringModalRun(open, window, [&] {
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QWidget* focused = window->focusWidget();
            for (QWidget* target : {focused, static_cast<QWidget*>(window)}) {
                if (!target)
                    continue;
                QTest::keyClick(target, key);
                QCoreApplication::processEvents();
                if (!window->isVisible()) {
                    closedBy << QStringLiteral("%1 on %2").arg(key).arg(target->objectName());
                    return;
                }
            }
        }
    });
    QVERIFY(modal);
    QCOMPARE(closedBy, QStringList());
    QVERIFY(!m_dir->readSettings());
}

void TestDialogLayout::tabMovesInTheDesignedOrder_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("general settings")
        << QStringLiteral("Form2")
        << QStringList{"EditP2",  "EditpGain", "EditiGain",    "EditdGain",    "EditTpid",
                       "EditpBH", "EditkBH",   "EditP1",       "SaveForms",    "CloseForm",
                       "Edit1",   "Edit2",     "RadioButton1", "RadioButton2", "CheckBox1",
                       "Edit3",   "CheckBox2", "CheckBox3"};
    QTest::newRow("connection") << QStringLiteral("Form4")
                                << QStringList{"SaveForms", "CloseForm", "ComboBox1", "ComboBox2"};
}

void TestDialogLayout::tabMovesInTheDesignedOrder() {
    QFETCH(QString, form);
    QFETCH(QStringList, order);

    // The focus chain, read from the first control round to it again.
    const QWidget* window = dialog(form);
    QWidget* first = window->findChild<QWidget*>(order.first());
    QVERIFY(first);
    QStringList chain;
    QWidget* widget = first;
    do {
        if (widget->focusPolicy() & Qt::TabFocus && !widget->objectName().isEmpty())
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != first && chain.size() <= order.size());
    QCOMPARE(chain, order);
}

void TestDialogLayout::connectionListsHoldTheirFixedItems() {
    const auto items = [this](const char* name) {
        QStringList texts;
        const auto* list = control<QComboBox>(*m_form4, name);
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    };
    QCOMPARE(items("ComboBox1"), (QStringList{"Com1", "Com2", "Com3", "Com4", "Com5", "Com6"}));
    QCOMPARE(items("ComboBox2"),
             (QStringList{"9600", "14400", "19200", "28800", "38400", "57600", "115200"}));
    // Nothing typed can reach the file.
    QVERIFY(!control<QComboBox>(*m_form4, "ComboBox1")->isEditable());
    QVERIFY(!control<QComboBox>(*m_form4, "ComboBox2")->isEditable());
}

// Opened from the menu item "?" again and again, closed each time as its
// close button would; it touches nothing and shows the same five lines.
void TestDialogLayout::aboutShowsTheSameLinesAtEveryOpening() {
    auto* menuItem = control<QAction>(*m_form1, "N2");
    QVERIFY(menuItem);
    const char* const names[] = {"Label1", "Label6", "Label2", "Label4", "Label3"};
    QList<QStringList> seen;
    for (int opening = 0; opening < 3; ++opening) {
        const bool modal =
            dialogtest::duringModalRun([menuItem] { menuItem->trigger(); }, m_form3,
                                       [&] {
                                           QStringList lines;
                                           for (const char* name : names)
                                               lines << dialogtest::textOf(*m_form3, name);
                                           seen << lines;
                                           m_form3->close();
                                       });
        QVERIFY(modal);
        QVERIFY(!m_form3->isVisible());
    }
    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[0].size(), 5);
    QCOMPARE(seen[0][2], QStringLiteral("Версия программы: v1.0.0.2"));
    QCOMPARE(seen[1], seen[0]);
    QCOMPARE(seen[2], seen[0]);
    QVERIFY(!m_dir->readSettings());
}

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
