// SPDX-License-Identifier: GPL-3.0-or-later
// Fitting a caption into its box: the box stays, the caption shows whole, and only as
// tight as it must be.
#include "console/CaptionFit.h"
#include "console/Fonts.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace {

constexpr int kFontPx = 13;
const QString kCaption = QStringLiteral("(50%-100%) - мощность верхнего нагревателя");

std::unique_ptr<QWidget> makeControl(const QString& kind, const QString& caption) {
    std::unique_ptr<QWidget> control;
    if (kind == u"label")
        control = std::make_unique<QLabel>(caption);
    else if (kind == u"check box")
        control = std::make_unique<QCheckBox>(caption);
    else if (kind == u"radio button")
        control = std::make_unique<QRadioButton>(caption);
    else
        control = std::make_unique<QPushButton>(caption);
    control->setFont(console::tahoma(kFontPx));
    return control;
}

// What the caption needs, measured as the toolkit sizes the control.
int needed(const QWidget& control) {
    if (qobject_cast<const QCheckBox*>(&control) || qobject_cast<const QRadioButton*>(&control))
        return control.sizeHint().width();
    return QFontMetrics(control.font()).horizontalAdvance(console::captionOf(&control));
}

} // namespace

class TestCaptionFit : public QObject {
    Q_OBJECT

private slots:
    void widerCaptionIsTightenedIntoItsBox_data();
    void widerCaptionIsTightenedIntoItsBox();
    void captionThatFitsIsLeftAlone_data();
    void captionThatFitsIsLeftAlone();
    void controlWithoutCaptionIsLeftAlone();
};

void TestCaptionFit::widerCaptionIsTightenedIntoItsBox_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("shortBy"); // pixels the box is narrower than the caption needs
    for (const char* kind : {"label", "check box", "radio button", "push button"}) {
        QTest::addRow("%s, 1 px short", kind) << QString::fromLatin1(kind) << 1;
        QTest::addRow("%s, 5 px short", kind) << QString::fromLatin1(kind) << 5;
        QTest::addRow("%s, 30 px short", kind) << QString::fromLatin1(kind) << 30;
    }
}

void TestCaptionFit::widerCaptionIsTightenedIntoItsBox() {
    QFETCH(QString, kind);
    QFETCH(int, shortBy);

    const auto control = makeControl(kind, kCaption);
    const int natural = needed(*control);
    // A push button keeps margins around its caption; the others are measured whole.
    control->resize(200, 20);
    const int margins = kind == u"push button" ? 200 - console::captionRoom(control.get()) : 0;
    control->resize(natural + margins - shortBy, 20);
    const auto room = [&] {
        return control->width() - margins;
    };
    const QRect box = control->geometry();
    QCOMPARE(needed(*control) - room(), shortBy);

    QVERIFY(console::fitCaption(control.get()));
    QCOMPARE(control->geometry(), box);
    QCOMPARE(console::captionOf(control.get()), kCaption);
    QCOMPARE(control->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(control->font().pixelSize(), kFontPx);
    QVERIFY(control->font().letterSpacing() < 0);
    QVERIFY2(needed(*control) <= room(),
             qPrintable(QStringLiteral("%1 > %2").arg(needed(*control)).arg(room())));
    // No tighter than it has to be: within a pixel or two of its box.
    QVERIFY2(needed(*control) >= room() - 2,
             qPrintable(QStringLiteral("%1 < %2 - 2").arg(needed(*control)).arg(room())));
}

void TestCaptionFit::captionThatFitsIsLeftAlone_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"label", "check box", "radio button", "push button"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

void TestCaptionFit::captionThatFitsIsLeftAlone() {
    QFETCH(QString, kind);
    const auto control = makeControl(kind, kCaption);
    control->resize(needed(*control) + 40, 20);
    const QFont before = control->font();
    QVERIFY(!console::fitCaption(control.get()));
    QCOMPARE(control->font(), before);
}

void TestCaptionFit::controlWithoutCaptionIsLeftAlone() {
    QLineEdit field;
    field.setText(kCaption);
    field.resize(10, 20);
    const QFont before = field.font();
    QVERIFY(!console::fitCaption(&field));
    QCOMPARE(field.font(), before);
}

QTEST_MAIN(TestCaptionFit)
#include "tst_captionfit.moc"
