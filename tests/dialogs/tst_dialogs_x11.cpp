// SPDX-License-Identifier: GPL-3.0-or-later
// The three dialogs on a real X server with the console's fonts: nothing clipped, the window
// manager's close, screenshots.
#include "app/Application.h"
#include "tests/dialogs/DialogFixture.h"
#include "tests/support/LayoutCheck.h"
#include "tests/support/TestDirs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <optional>

using dialogtest::control;

namespace {

const QByteArray kSettings = R"([Connect]
Comport=Com3
BaudRate=19200
[Global]
EditP2=80
EditpGain=120
EditiGain=3
EditdGain=40
EditTpid=20
EditpBH=70
EditkBH=5
EditP1=90
Correct1=-5
Correct2=7
Hex=1
VisibleProfil=1
TempEnableFan=150
EnableFan=1
AutoStart=0
)";

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// What a window manager sends when the operator clicks a title bar's close button.
bool sendWindowManagerClose(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return false;
    xcb_connection_t* connection = x11->connection();
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = internAtom(connection, "WM_PROTOCOLS");
    event.data.data32[0] = internAtom(connection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
    return true;
}

// Captions whose text does not fit the part of their box that lies inside the dialog.
QStringList clippedCaptions(const QWidget* dialog) {
    QStringList clipped;
    for (const QWidget* widget : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const int visibleWidth = std::min(widget->width(), dialog->width() - widget->x());
        const QFontMetrics metrics(widget->font());
        int needed = 0;
        if (const auto* label = qobject_cast<const QLabel*>(widget))
            needed = metrics.horizontalAdvance(label->text());
        else if (qobject_cast<const QCheckBox*>(widget) ||
                 qobject_cast<const QRadioButton*>(widget))
            needed = widget->sizeHint().width();
        else if (const auto* button = qobject_cast<const QPushButton*>(widget))
            needed = metrics.horizontalAdvance(button->text());
        else
            continue;
        if (needed > visibleWidth || metrics.ascent() > widget->height())
            clipped << QStringLiteral("%1 needs %2 of %3")
                           .arg(widget->objectName())
                           .arg(needed)
                           .arg(visibleWidth);
    }
    return clipped;
}

} // namespace

class TestDialogsX11 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogShowsEveryCaptionWhole_data();
    void dialogShowsEveryCaptionWhole();

private:
    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<app::Windows> m_windows;
};

void TestDialogsX11::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    app::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
}

void TestDialogsX11::init() {
    m_dir.emplace();
    m_dir->writeSettings(kSettings);
    m_windows.emplace();
    m_windows->Form1.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_windows->Form1));
}

void TestDialogsX11::cleanup() {
    m_windows.reset();
    m_dir.reset();
}

void TestDialogsX11::dialogShowsEveryCaptionWhole_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<bool>("titleBarCloses");
    QTest::newRow("general settings") << QStringLiteral("Form2") << false;
    QTest::newRow("about") << QStringLiteral("Form3") << true;
    QTest::newRow("connection") << QStringLiteral("Form4") << false;
}

// Each dialog opened the way the operator opens it: its captions fit, a picture
// of it is kept, and the window manager's close request closes only the about box.
void TestDialogsX11::dialogShowsEveryCaptionWhole() {
    QFETCH(QString, form);
    QFETCH(bool, titleBarCloses);

    TForm1& form1 = m_windows->Form1;
    QDialog* dialog = nullptr;
    std::function<void()> open;
    if (form == u"Form2") {
        dialog = &m_windows->Form2;
        open = [&form1] {
            control<QAction>(form1, "N3")->trigger();
        };
    } else if (form == u"Form3") {
        dialog = &m_windows->Form3;
        open = [&form1] {
            control<QAction>(form1, "N2")->trigger();
        };
    } else {
        dialog = &m_windows->Form4;
        open = [&form1] {
            control<QPushButton>(form1, "Button2")->click();
        };
    }

    QString fontFamily;
    QStringList clipped;
    bool saved = false;
    bool closeSent = false;
    bool openAfterClose = true;
    const bool modal = dialogtest::duringModalRun(open, dialog, [&] {
        if (!QTest::qWaitForWindowExposed(dialog))
            return;
        fontFamily = QFontInfo(dialog->font()).family();
        clipped = clippedCaptions(dialog);
        // Which captions this font needed drawn tighter to keep their boxes.
        qInfo("%s tightened: %s", qPrintable(form),
              qPrintable(testsupport::tightenedCaptions(*dialog).join(QStringLiteral(", "))));
        saved = dialog->grab().save(
            QDir(testsupport::artifactsDir()).filePath(QStringLiteral("dialog-%1.png").arg(form)));
        closeSent = sendWindowManagerClose(dialog);
        if (titleBarCloses)
            (void)QTest::qWaitFor([dialog] { return !dialog->isVisible(); }, 5000);
        else
            QTest::qWait(500); // time for the request to arrive and be turned down
        openAfterClose = dialog->isVisible();
    });

    QVERIFY(modal);
    QCOMPARE(fontFamily, QStringLiteral("Tahoma"));
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
    QVERIFY(saved);
    QVERIFY(closeSent);
    QCOMPARE(openAfterClose, !titleBarCloses);
    QVERIFY(!dialog->isVisible());
}

QTEST_MAIN(TestDialogsX11)
#include "tst_dialogs_x11.moc"
