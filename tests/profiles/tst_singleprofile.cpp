// SPDX-License-Identifier: GPL-3.0-or-later
// The single-profile dialog: one row of the editor in, edited texts back, never the file.
#include "config/SettingsFile.h"
#include "tests/profiles/ProfilesFixture.h"
#include "tests/support/TestDirs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

using profilestest::nameField;
using profilestest::valueField;

namespace {

QStringList fieldTexts(const TForm5& dialog) {
    QStringList texts;
    for (int number = 1; number <= 6; ++number) {
        const auto* field =
            dialog.findChild<QLineEdit*>(QStringLiteral("Edit") + QString::number(number));
        texts << (field ? field->text() : QStringLiteral("<missing>"));
    }
    return texts;
}

void setFieldTexts(TForm5& dialog, const QStringList& texts) {
    for (int number = 1; number <= 6; ++number)
        if (auto* field =
                dialog.findChild<QLineEdit*>(QStringLiteral("Edit") + QString::number(number)))
            field->setText(texts[number - 1]);
}

} // namespace

class TestSingleProfile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sixDescriptionsWithTheirExactCaptions();
    void showingCopiesTheRowAndCaptionsTheWindow_data();
    void showingCopiesTheRowAndCaptionsTheWindow();
    void saveCopiesBackIntoTheRowOnly();
    void valueOfFourDigitsReachesTheFileThroughTheEditor();
    void exitLeavesTheRowAsItWas();
    void aLaterShowingForgetsTheEarlierOne();

private:
    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<profilestest::ProfileWindows> m_windows;
};

void TestSingleProfile::init() {
    m_dir.emplace();
    m_dir->writeSettings(profilestest::kStoredProfiles);
    m_windows.emplace();
    m_windows->showEditor();
}

void TestSingleProfile::cleanup() {
    m_windows.reset();
    m_dir.reset();
}

void TestSingleProfile::sixDescriptionsWithTheirExactCaptions() {
    // Latin key codes at the start; the letter before 1 and 3 near the end of
    // the hold-time captions is the Cyrillic Te.
    const QChar te(0x0422);
    const QStringList captions = {
        QStringLiteral("  T0 температура включения верхнего нагревателя"),
        QStringLiteral("  TB температура нижнего нагревателя"),
        QStringLiteral("  T1 температура активации флюса"),
        QStringLiteral("  S1 время выдержки при температуре ") + te + QStringLiteral("1 (секунд)"),
        QStringLiteral("  T3 температура верхнего нагревателя"),
        QStringLiteral("  S3 время выдержки при температуре ") + te + QStringLiteral("3 (секунд)"),
    };
    TForm5& dialog = m_windows->form5();
    QCOMPARE(dialog.size(), QSize(466, 198));
    for (int i = 0; i < 6; ++i) {
        const QString number = QString::number(i + 1);
        const int top = 5 + 26 * i;
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("Label") + number);
        QVERIFY(label);
        QCOMPARE(label->text(), captions[i]);
        QCOMPARE(label->geometry(), QRect(141, top, 316, 20));
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(label->font().pixelSize(), 13);
        auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("Edit") + number);
        QVERIFY(field);
        QCOMPARE(field->geometry(), QRect(14, top, 121, 20));
        QCOMPARE(field->font().pixelSize(), 13);
    }
    auto* save = dialog.findChild<QPushButton*>(QStringLiteral("SaveForms"));
    auto* close = dialog.findChild<QPushButton*>(QStringLiteral("CloseForm"));
    QVERIFY(save && close);
    QCOMPARE(save->text(), QStringLiteral("Сохранить"));
    QCOMPARE(save->geometry(), QRect(251, 169, 100, 20));
    QCOMPARE(close->text(), QStringLiteral("Выйти"));
    QCOMPARE(close->geometry(), QRect(357, 169, 100, 20));

    QStringList chain;
    for (QWidget* w = save; w && chain.size() < 8; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w->objectName();
    QCOMPARE(chain, (QStringList{"SaveForms", "CloseForm", "Edit1", "Edit2", "Edit3", "Edit4",
                                 "Edit5", "Edit6"}));
}

void TestSingleProfile::showingCopiesTheRowAndCaptionsTheWindow_data() {
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("named row") << 3 << "BGA" << QStringLiteral("настройка профиля - 3 (BGA)");
    QTest::newRow("unnamed row") << 5 << "" << QStringLiteral("настройка профиля - 5 ()");
    QTest::newRow("Cyrillic name with commas")
        << 9 << QStringLiteral("Свинец, 2 слоя")
        << QStringLiteral("настройка профиля - 9 (Свинец, 2 слоя)");
}

void TestSingleProfile::showingCopiesTheRowAndCaptionsTheWindow() {
    QFETCH(int, profile);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    // The editor's current texts, not the stored ones, and any text at all.
    const QStringList row = {"1000", "-7", "abc", "", " 12", "$1F"};
    for (int key = 0; key < 6; ++key)
        m_windows->editorField(valueField(profile, key))->setText(row[key]);
    m_windows->editorField(nameField(profile))->setText(name);

    QString seenCaption;
    QStringList seenTexts;
    m_windows->withRowDialog(
        profile,
        [&](TForm5& dialog) {
            seenCaption = dialog.windowTitle();
            seenTexts = fieldTexts(dialog);
        },
        "CloseForm");

    QCOMPARE(seenCaption, caption);
    QCOMPARE(seenTexts, row);
    QCOMPARE(m_windows->form6().SendProfil, profile);
    QCOMPARE(m_windows->form5().NP, profile);
}

void TestSingleProfile::saveCopiesBackIntoTheRowOnly() {
    const std::optional<QByteArray> fileBefore = m_dir->readSettings();
    const QStringList before = m_windows->editorTexts();
    const QStringList edited = {"200", "", "-1", "1000", "abc", "  9"};

    m_windows->withRowDialog(
        3,
        [&](TForm5& dialog) {
            setFieldTexts(dialog, edited);
            // The dialog's own fields take any length from the operator.
            auto* s1 = dialog.findChild<QLineEdit*>(QStringLiteral("Edit4"));
            s1->clear();
            QTest::keyClicks(s1, "1000");
        },
        "SaveForms");

    QStringList expected = before;
    for (int key = 0; key < 6; ++key)
        expected[valueField(3, key) - 1] = edited[key];
    QCOMPARE(m_windows->editorTexts(), expected); // name and other rows untouched
    QVERIFY(m_windows->form6().isVisible());
    QCOMPARE(m_dir->readSettings(), fileBefore); // the dialog never writes
}

void TestSingleProfile::valueOfFourDigitsReachesTheFileThroughTheEditor() {
    m_windows->withRowDialog(
        2,
        [&](TForm5& dialog) {
            auto* t3 = dialog.findChild<QLineEdit*>(QStringLiteral("Edit5"));
            t3->clear();
            QTest::keyClicks(t3, "1000");
        },
        "SaveForms");
    QCOMPARE(m_windows->editorField(valueField(2, 4))->text(), QStringLiteral("1000"));

    m_windows->editorButton(1)->click();
    QVERIFY(!m_windows->form6().isVisible());
    QCOMPARE(config::SettingsFile().ReadString(QStringLiteral("Profil2"), QStringLiteral("T3"), {}),
             QStringLiteral("1000"));
}

void TestSingleProfile::exitLeavesTheRowAsItWas() {
    // An unsaved change in the editor: returning from the dialog must not reload the table.
    m_windows->editorField(valueField(0, 0))->setText(QStringLiteral("77"));
    const QStringList before = m_windows->editorTexts();

    m_windows->withRowDialog(
        0,
        [&](TForm5& dialog) {
            setFieldTexts(dialog, {"1", "2", "3", "4", "5", "6"});
        },
        "CloseForm");

    QCOMPARE(m_windows->editorTexts(), before);
    QVERIFY(m_windows->form6().isVisible());
}

void TestSingleProfile::aLaterShowingForgetsTheEarlierOne() {
    m_windows->editorField(nameField(0))->setText(QStringLiteral("Первый"));
    m_windows->withRowDialog(
        9,
        [&](TForm5& dialog) {
            setFieldTexts(dialog, {"9", "9", "9", "9", "9", "9"});
        },
        "CloseForm");

    QString caption;
    QStringList texts;
    m_windows->withRowDialog(
        0,
        [&](TForm5& dialog) {
            caption = dialog.windowTitle();
            texts = fieldTexts(dialog);
        },
        "CloseForm");
    QCOMPARE(caption, QStringLiteral("настройка профиля - 0 (Первый)"));
    QCOMPARE(texts, (QStringList{"180", "150", "160", "60", "235", "30"}));
    QCOMPARE(m_windows->form5().NP, 0);
}

QTEST_MAIN(TestSingleProfile)
#include "tst_singleprofile.moc"
