// SPDX-License-Identifier: GPL-3.0-or-later
// The typing limit of the profile fields: it binds the operator, never the program.
#include "profiles/LimitedEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

using profiles::LimitedEdit;

namespace {

// Types letter by letter as a keyboard would, Cyrillic included.
void typeText(QWidget& widget, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, &widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// One step of the operator at the keyboard: "type:<text>", "paste:<text>",
// "backspace" or "undo".
void operatorDoes(QLineEdit& edit, const QString& step) {
    if (step.startsWith(u"type:")) {
        typeText(edit, step.mid(5));
    } else if (step.startsWith(u"paste:")) {
        QGuiApplication::clipboard()->setText(step.mid(6));
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    } else if (step == u"backspace") {
        QTest::keyClick(&edit, Qt::Key_Backspace);
    } else if (step == u"undo") {
        QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

} // namespace

class TestLimitedEdit : public QObject {
    Q_OBJECT

private slots:
    void programTextIsNeverCut_data();
    void programTextIsNeverCut();
    void operatorIsHeldToTheLimit_data();
    void operatorIsHeldToTheLimit();
    void pasteFromTheContextMenuIsHeldToo();
};

void TestLimitedEdit::programTextIsNeverCut_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("text");
    QTest::newRow("four digits in a value field") << 3 << QStringLiteral("1000");
    QTest::newRow("negative thousands") << 3 << QStringLiteral("-2000");
    QTest::newRow("long Cyrillic name") << 30 << QString(45, QChar(0x0416));
    // Beyond the 32767 characters a plain line edit would keep.
    QTest::newRow("name of 100,000 characters") << 30 << QString(100000, QChar(0x0416));
}

void TestLimitedEdit::programTextIsNeverCut() {
    QFETCH(int, limit);
    QFETCH(QString, text);
    LimitedEdit edit(limit);
    edit.setText(text);
    QCOMPARE(edit.text(), text);
    // Nor is it refused when set again through a second program change.
    edit.setText(text + text);
    QCOMPARE(edit.text(), text + text);
}

void TestLimitedEdit::operatorIsHeldToTheLimit_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("programText");
    QTest::addColumn<int>("cursor"); // -1: at the end
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");

    QTest::newRow("fourth typed character refused")
        << 3 << QString() << -1 << false << QStringList{"type:1234"} << "123";
    QTest::newRow("thirty-first typed letter refused")
        << 30 << QString(29, QChar(0x0416)) << -1 << false << QStringList{"type:ЯЮ"}
        << QString(29, QChar(0x0416)) + u'Я';
    QTest::newRow("typing into the program's 1000 refused")
        << 3 << "1000" << -1 << false << QStringList{"type:5"} << "1000";
    QTest::newRow("program's long text can be shortened")
        << 3 << "12345" << -1 << false << QStringList{"backspace", "backspace"} << "123";
    QTest::newRow("shortened to the limit, then full again")
        << 3 << "1000" << -1 << false << QStringList{"backspace", "type:7"} << "100";
    QTest::newRow("paste keeps what fits")
        << 3 << QString() << -1 << false << QStringList{"paste:98765"} << "987";
    QTest::newRow("paste into a partly filled field")
        << 3 << "1" << -1 << false << QStringList{"paste:98765"} << "198";
    QTest::newRow("paste in the middle keeps the tail")
        << 3 << "12" << 1 << false << QStringList{"paste:98765"} << "192";
    QTest::newRow("paste over a selection")
        << 3 << "123" << -1 << true << QStringList{"paste:98765"} << "987";
    QTest::newRow("paste into a full field refused")
        << 3 << "123" << -1 << false << QStringList{"paste:4"} << "123";
    // The pasted text ends like the old one: the cut must still keep the
    // beginning of what was pasted.
    QTest::newRow("paste ending in the field's last letter")
        << 3 << "ab" << -1 << false << QStringList{"paste:xb"} << "abx";
    QTest::newRow("name paste cut at thirty")
        << 30 << "BGA " << -1 << false << QStringList{"paste:" + QString(40, QChar(0x0416))}
        << "BGA " + QString(26, QChar(0x0416));
    // An undo back to the program's long text is an operator change like any
    // other, and the limit holds for what is typed after it.
    QTest::newRow("undo may not lengthen past the limit")
        << 3 << "1000" << -1 << false << QStringList{"backspace", "undo", "type:5"} << "100";
}

void TestLimitedEdit::operatorIsHeldToTheLimit() {
    QFETCH(int, limit);
    QFETCH(QString, programText);
    QFETCH(int, cursor);
    QFETCH(bool, selectAll);
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);

    LimitedEdit edit(limit);
    edit.show();
    edit.setText(programText);
    if (cursor >= 0)
        edit.setCursorPosition(cursor);
    if (selectAll)
        edit.selectAll();
    for (const QString& step : steps)
        operatorDoes(edit, step);
    QCOMPARE(edit.text(), expected);
}

void TestLimitedEdit::pasteFromTheContextMenuIsHeldToo() {
    LimitedEdit edit(3);
    edit.show();
    edit.setText(QStringLiteral("1"));
    QGuiApplication::clipboard()->setText(QStringLiteral("98765"));

    // Picks Paste from the menu once it is up; the menu's own Paste action
    // carries the paste shortcut.
    bool pasted = false;
    QTimer::singleShot(0, this, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (action->text().contains(QKeySequence(QKeySequence::Paste).toString())) {
                action->trigger();
                pasted = true;
            }
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), edit.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&edit, &event);

    QVERIFY(pasted);
    QCOMPARE(edit.text(), QStringLiteral("198"));
}

QTEST_MAIN(TestLimitedEdit)
#include "tst_limitededit.moc"
