// SPDX-License-Identifier: GPL-3.0-or-later
// The two profile dialogs on a real X server in the console's own font: nothing clipped, and a
// screenshot each.
#include "app/Application.h"
#include "tests/profiles/ProfilesFixture.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/TestDirs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <optional>

namespace {

// Room a push button's frame takes from its text on each side.
constexpr int kButtonPadding = 3;

// Every caption, button text and field text of the window is drawn in full.
void checkNothingClipped(const QWidget& window) {
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->contentsRect().width() &&
                     metrics.height() <= label->contentsRect().height(),
                 qPrintable(label->objectName() + QStringLiteral(" clips ") + label->text()));
    }
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        const QFontMetrics metrics(button->font());
        QVERIFY2(metrics.horizontalAdvance(button->text()) + 2 * kButtonPadding <= button->width(),
                 qPrintable(button->objectName() + QStringLiteral(" clips ") + button->text()));
    }
    for (const QLineEdit* edit : window.findChildren<QLineEdit*>()) {
        const QFontMetrics metrics(edit->font());
        QVERIFY2(metrics.horizontalAdvance(edit->text()) <= edit->contentsRect().width() &&
                     metrics.height() <= edit->contentsRect().height(),
                 qPrintable(edit->objectName() + QStringLiteral(" clips ") + edit->text()));
    }
}

// Which captions this font needed drawn tighter to keep their boxes.
void reportTightened(const QWidget& window) {
    qInfo("%s tightened: %s", window.metaObject()->className(),
          qPrintable(testsupport::tightenedCaptions(window).join(QStringLiteral(", "))));
}

void saveScreenshot(QWidget& window, const QString& fileName) {
    const QString path = QDir(testsupport::artifactsDir()).filePath(fileName);
    QVERIFY2(window.grab().save(path), qPrintable(path));
    qInfo("screenshot: %s", qPrintable(path));
}

} // namespace

class TestProfileDialogsX11 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void editorShowsEverythingInFull();
    void singleProfileDialogShowsEverythingInFull();

private:
    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<profilestest::ProfileWindows> m_windows;
};

void TestProfileDialogsX11::initTestCase() {
    QVERIFY2(QGuiApplication::platformName() == QStringLiteral("xcb"),
             "runs on an X server (xvfb-run)");
    app::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
}

void TestProfileDialogsX11::init() {
    m_dir.emplace();
    // Long texts the table shows: four-digit and negative values, a name of
    // thirty letters as an operator writes them.
    QByteArray settings = profilestest::kStoredProfiles;
    settings += "[Profil9]\nT0=-999\nTB=1000\nName=Бессвинцовый BGA, 2 слоя, 245C\n";
    m_dir->writeSettings(settings);
    m_windows.emplace();
}

void TestProfileDialogsX11::cleanup() {
    m_windows.reset();
    m_dir.reset();
}

void TestProfileDialogsX11::editorShowsEverythingInFull() {
    TForm6& editor = m_windows->form6();
    m_windows->showEditor();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QCOMPARE(QFontInfo(editor.font()).family(), QStringLiteral("Tahoma"));
    checkNothingClipped(editor);
    reportTightened(editor);
    saveScreenshot(editor, QStringLiteral("profile-editor.png"));
}

void TestProfileDialogsX11::singleProfileDialogShowsEverythingInFull() {
    m_windows->showEditor();
    QVERIFY(QTest::qWaitForWindowExposed(&m_windows->form6()));
    m_windows->withRowDialog(
        3,
        [&](TForm5& dialog) {
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            checkNothingClipped(dialog);
            reportTightened(dialog);
            saveScreenshot(dialog, QStringLiteral("single-profile.png"));
        },
        "CloseForm");
}

QTEST_MAIN(TestProfileDialogsX11)
#include "tst_profiledialogs_x11.moc"
