// SPDX-License-Identifier: GPL-3.0-or-later
// The profile editor and the single-profile dialog as built: every control in its box, every
// caption whole in it, and keys that do not close them.
#include "tests/profiles/ProfilesFixture.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/TestDirs.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

namespace {

constexpr int k8pt = 11;
constexpr int k10pt = 13;

struct Box {
    QString form;
    QString name;
    QRect geometry;
    int fontPx;
};

QString numbered(const char* kind, int number) {
    return QLatin1String(kind) + QString::number(number);
}

// Every control of the two windows with its box (left, top, width, height) and font size.
QList<Box> designedBoxes() {
    QList<Box> boxes;
    const auto box = [&boxes](const char* form, const QString& name, QRect geometry, int fontPx) {
        boxes.append({QString::fromLatin1(form), name, geometry, fontPx});
    };

    // Profile editor: the headers, then one row per profile, then its two buttons.
    box("Form6", QStringLiteral("Label18"), {45, 5, 276, 21}, k10pt);
    const int valueLefts[] = {333, 386, 440, 493, 545, 598};
    for (int key = 0; key < 6; ++key)
        box("Form6", numbered("Label", 12 + key), {valueLefts[key], 5, 50, 21}, k10pt);
    const int rowLabels[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11};
    for (int p = 0; p < 10; ++p) {
        const int top = 32 + 27 * p;
        box("Form6", numbered("Label", rowLabels[p]), {0, 31 + 27 * p, 23, 21}, k10pt);
        box("Form6", numbered("Edit", 61 + p), {29, top, 298, 21}, k8pt);
        for (int key = 0; key < 6; ++key)
            box("Form6", numbered("Edit", 6 * p + key + 1), {valueLefts[key], top, 50, 21}, k8pt);
        box("Form6", numbered("Button", 3 + p), {650, top, 24, 21}, k8pt);
    }
    box("Form6", QStringLiteral("Button1"), {443, 306, 100, 20}, k8pt);
    box("Form6", QStringLiteral("Button2"), {549, 306, 100, 20}, k8pt);

    // Single-profile dialog: six fields with their descriptions, then its two buttons.
    for (int i = 0; i < 6; ++i) {
        const int top = 5 + 26 * i;
        box("Form5", numbered("Edit", i + 1), {14, top, 121, 20}, k10pt);
        box("Form5", numbered("Label", i + 1), {141, top, 316, 20}, k10pt);
    }
    box("Form5", QStringLiteral("SaveForms"), {251, 169, 100, 20}, k8pt);
    box("Form5", QStringLiteral("CloseForm"), {357, 169, 100, 20}, k8pt);
    return boxes;
}

} // namespace

class TestProfileLayout : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsSitInTheirBoxes_data();
    void controlsSitInTheirBoxes();
    void everyControlHasItsBox_data();
    void everyControlHasItsBox();
    void captionsShowWholeInTheirBoxes_data();
    void captionsShowWholeInTheirBoxes();
    void escapeAndEnterLeaveTheEditorOpen();
    void escapeAndEnterLeaveTheRowDialogOpen();

private:
    QWidget& window(const QString& form);
    void addFormRows() const;

    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<profilestest::ProfileWindows> m_windows;
};

void TestProfileLayout::init() {
    m_dir.emplace();
    m_windows.emplace();
}

void TestProfileLayout::cleanup() {
    m_windows.reset();
    m_dir.reset();
}

QWidget& TestProfileLayout::window(const QString& form) {
    if (form == u"Form5")
        return m_windows->form5();
    return m_windows->form6();
}

void TestProfileLayout::addFormRows() const {
    QTest::addColumn<QString>("form");
    QTest::newRow("profile editor") << QStringLiteral("Form6");
    QTest::newRow("single profile") << QStringLiteral("Form5");
}

void TestProfileLayout::controlsSitInTheirBoxes_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("fontPx");
    for (const Box& box : designedBoxes())
        QTest::addRow("%s %s", qPrintable(box.form), qPrintable(box.name))
            << box.form << box.name << box.geometry << box.fontPx;
}

void TestProfileLayout::controlsSitInTheirBoxes() {
    QFETCH(QString, form);
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(int, fontPx);

    const QWidget& dialog = window(form);
    const auto* control = dialog.findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->parentWidget(), &dialog);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(control->font().pixelSize(), fontPx);
}

void TestProfileLayout::everyControlHasItsBox_data() {
    addFormRows();
}

// The table above is the whole window: no control sits where no box was designed.
void TestProfileLayout::everyControlHasItsBox() {
    QFETCH(QString, form);
    QStringList listed;
    for (const Box& box : designedBoxes()) {
        if (box.form == form)
            listed << box.name;
    }
    QCOMPARE(testsupport::unlistedControls(window(form), listed), QStringList());
}

void TestProfileLayout::captionsShowWholeInTheirBoxes_data() {
    addFormRows();
}

void TestProfileLayout::captionsShowWholeInTheirBoxes() {
    QFETCH(QString, form);
    QWidget& dialog = window(form);
    dialog.show(); // the captions are fitted when the window is first shown
    QVERIFY(dialog.isVisible());
    const QStringList wider = testsupport::captionsWiderThanTheirBox(dialog);
    dialog.hide();
    QVERIFY2(wider.isEmpty(), qPrintable(wider.join(QStringLiteral("; "))));
}

// The editor is left only through "Сохранить" and "Выйти".
void TestProfileLayout::escapeAndEnterLeaveTheEditorOpen() {
    TForm6& editor = m_windows->form6();
    m_windows->showEditor();
    QLineEdit* name = m_windows->editorField(profilestest::nameField(0));
    QVERIFY(name);
    name->setFocus();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(name, key);
        QTest::keyClick(&editor, key);
        QVERIFY2(editor.isVisible(), qPrintable(QString::number(key)));
    }
    QVERIFY(!m_dir->readSettings());
}

// The row dialog likewise: the row keeps its texts and the dialog stays up.
void TestProfileLayout::escapeAndEnterLeaveTheRowDialogOpen() {
    m_windows->showEditor();
    bool stayedOpen = true;
    m_windows->withRowDialog(
        2,
        [&](TForm5& dialog) {
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
                if (QWidget* focused = dialog.focusWidget())
                    QTest::keyClick(focused, key);
                QTest::keyClick(&dialog, key);
                stayedOpen = stayedOpen && dialog.isVisible();
            }
        },
        "CloseForm");
    QVERIFY(stayedOpen);
}

QTEST_MAIN(TestProfileLayout)
#include "tst_profilelayout.moc"
