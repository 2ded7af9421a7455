// SPDX-License-Identifier: GPL-3.0-or-later
// The selected profile's targets on the chart: thin pale dashed lines at T1, T3 and TB, on
// screen and in the saved picture (there, the targets shown during the run), following the
// profile, never hiding a gap of the curve they lie on, never in the table.
#include "console/ProfileTargets.h"
#include "console/RunChart.h"
#include "console/RunExport.h"
#include "tests/console/ConsoleFixture.h"
#include "tests/support/ModalWatcher.h"
#include "tests/support/TestDirs.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <optional>

using consoletest::control;
using consoletest::isBlue;
using consoletest::isRed;

namespace {

// The targets' pale tones, told apart from the curves' full red and blue.
bool isTopTarget(QRgb pixel) {
    return qRed(pixel) > 220 && qGreen(pixel) > 110 && qGreen(pixel) < 190 && qBlue(pixel) > 110 &&
           qBlue(pixel) < 190;
}
bool isBottomTarget(QRgb pixel) {
    return qBlue(pixel) > 220 && qRed(pixel) > 110 && qRed(pixel) < 190 && qGreen(pixel) > 110 &&
           qGreen(pixel) < 190;
}

// How many pixels of the colour lie on the plot's row for `degrees` (give or
// take a pixel), and how far left and right they reach, between two shares of
// the plot's width.
struct RowCover {
    int pixels = 0;
    double from = 1; // share of the plot's width, 0 = left edge
    double to = 0;
};

RowCover coverAt(const QImage& image, const QRectF& plot, double degrees, bool (*colour)(QRgb),
                 double fromShare = 0, double toShare = 1) {
    RowCover cover;
    const int y = int(plot.bottom() - degrees / console::RunChart::kDegreesShown * plot.height());
    const int left = int(plot.left() + fromShare * plot.width()) + 1;
    const int right = int(plot.left() + toShare * plot.width());
    for (int x = left; x < right; ++x) {
        bool found = false;
        for (int dy = -2; dy <= 2 && !found; ++dy)
            found = image.valid(x, y + dy) && colour(image.pixel(x, y + dy));
        if (!found)
            continue;
        ++cover.pixels;
        const double share = (x - plot.left()) / plot.width();
        cover.from = std::min(cover.from, share);
        cover.to = std::max(cover.to, share);
    }
    return cover;
}

// A dashed line across the plot: broken, but reaching from edge to edge.
bool dashedLineAt(const QImage& image, const QRectF& plot, double degrees, bool (*colour)(QRgb)) {
    const RowCover cover = coverAt(image, plot, degrees, colour);
    return cover.pixels > 0.3 * plot.width() && cover.pixels < 0.95 * plot.width() &&
           cover.from < 0.05 && cover.to > 0.95;
}

bool anyColourInPlot(const QImage& image, const QRectF& plot, bool (*colour)(QRgb)) {
    for (int x = int(plot.left()) + 1; x < int(plot.right()); ++x)
        for (int y = int(plot.top()) + 1; y < int(plot.bottom()); ++y)
            if (colour(image.pixel(x, y)))
                return true;
    return false;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestProfileTargets : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void linesLieAtTheProfilesTargets_data();
    void linesLieAtTheProfilesTargets();
    void offByDefaultAndWhenSwitchedOff();
    void linesFollowTheProfileShown();
    void linesStayWhileTheWindowPans();
    void pictureHoldsTheLinesOnlyWhenShown();
    void gapOnAHoldShowsThroughTheTarget();
    void pictureDrawsTheTargetsShownDuringTheRun();
    void tableNeverHoldsThem();

private:
    QImage screen() const { return m_chart->viewport()->grab().toImage(); }
    QRectF plot() const { return m_chart->chart()->plotArea(); }
    void showTargets() {
        auto* action = m_form->findChild<QAction*>(QStringLiteral("ActionShowTargets"));
        QVERIFY(action);
        action->trigger();
        QVERIFY(m_chart->targetsShown());
    }

    std::optional<testsupport::TempAppDir> m_dir;
    std::optional<QTemporaryDir> m_out;
    std::unique_ptr<TForm1> m_form;
    console::RunChart* m_chart = nullptr;
};

void TestProfileTargets::init() {
    m_dir.emplace();
    m_dir->writeSettings(consoletest::kFullSettings);
    m_out.emplace();
    m_form = consoletest::startConsole();
    QVERIFY(m_form);
    m_chart = control<console::RunChart>(*m_form, "Chart1");
    QVERIFY(m_chart);
}

void TestProfileTargets::cleanup() {
    m_form.reset();
    m_out.reset();
    m_dir.reset();
}

void TestProfileTargets::linesLieAtTheProfilesTargets_data() {
    QTest::addColumn<int>("t1");
    QTest::addColumn<int>("t3");
    QTest::addColumn<int>("tb");
    QTest::newRow("a lead-free profile") << 160 << 235 << 150;
    QTest::newRow("low and high") << 20 << 290 << 280;
    // Off the 0..300 °C plot: no line at its edge pretending to be one.
    QTest::newRow("T3 above the plot") << 100 << 400 << 200;
    QTest::newRow("TB below zero") << 100 << 250 << -5;
}

void TestProfileTargets::linesLieAtTheProfilesTargets() {
    QFETCH(int, t1);
    QFETCH(int, t3);
    QFETCH(int, tb);
    auto inPlot = [](int degrees) {
        return degrees >= 0 && degrees <= 300;
    };
    showTargets();
    m_chart->setTargets({t1, t3, tb});
    const QImage image = screen();
    image.save(testsupport::artifactsDir() +
               QStringLiteral("/targets-%1-%2-%3.png").arg(t1).arg(t3).arg(tb));

    QVERIFY(dashedLineAt(image, plot(), t1, isTopTarget));
    QCOMPARE(dashedLineAt(image, plot(), t3, isTopTarget), inPlot(t3));
    QCOMPARE(dashedLineAt(image, plot(), tb, isBottomTarget), inPlot(tb));
    // Each line in its heater's colour only, and nothing at the edges.
    QVERIFY(!dashedLineAt(image, plot(), t1, isBottomTarget));
    QVERIFY(coverAt(image, plot(), 300, isTopTarget).pixels == 0 || t3 == 300);
    QCOMPARE(coverAt(image, plot(), 0, isBottomTarget).pixels, 0);
}

void TestProfileTargets::offByDefaultAndWhenSwitchedOff() {
    QVERIFY(!m_chart->targetsShown());
    // Profile 0 of the settings: T1 160, T3 235, TB 150.
    QCOMPARE(m_chart->targets(), (console::ProfileTargets{160, 235, 150}));
    QVERIFY(!anyColourInPlot(screen(), plot(), isTopTarget));
    QVERIFY(!anyColourInPlot(screen(), plot(), isBottomTarget));

    showTargets();
    QVERIFY(dashedLineAt(screen(), plot(), 235, isTopTarget));
    m_form->findChild<QAction*>(QStringLiteral("ActionShowTargets"))->trigger();
    QVERIFY(!m_chart->targetsShown());
    QVERIFY(!anyColourInPlot(screen(), plot(), isTopTarget));
    QVERIFY(!anyColourInPlot(screen(), plot(), isBottomTarget));
}

// A change of profile, and the reload a save in the profile editor asks for,
// move the lines at once.
void TestProfileTargets::linesFollowTheProfileShown() {
    showTargets();
    auto* combo = control<QComboBox>(*m_form, "ComboBox1");
    combo->setCurrentIndex(3);
    emit combo->activated(3);
    // Profile 3: T1 140, T3 0x10, TB 120.
    QCOMPARE(m_chart->targets(), (console::ProfileTargets{140, 16, 120}));
    QImage image = screen();
    QVERIFY(dashedLineAt(image, plot(), 140, isTopTarget));
    QVERIFY(dashedLineAt(image, plot(), 16, isTopTarget));
    QVERIFY(dashedLineAt(image, plot(), 120, isBottomTarget));
    QVERIFY(!dashedLineAt(image, plot(), 235, isTopTarget));
    QVERIFY(!dashedLineAt(image, plot(), 150, isBottomTarget));

    QByteArray edited = consoletest::kFullSettings;
    edited.replace("T1=140", "T1=180").replace("TB=120", "TB=200");
    m_dir->writeSettings(edited);
    m_form->ReadProfil();
    QCOMPARE(m_chart->targets(), (console::ProfileTargets{180, 16, 200}));
    image = screen();
    QVERIFY(dashedLineAt(image, plot(), 180, isTopTarget));
    QVERIFY(dashedLineAt(image, plot(), 200, isBottomTarget));
    QVERIFY(!dashedLineAt(image, plot(), 140, isTopTarget));
}

void TestProfileTargets::linesStayWhileTheWindowPans() {
    showTargets();
    for (int second = 1; second <= 2000; ++second)
        m_chart->appendGap();
    m_chart->panBy(plot().width() * 0.5);
    QVERIFY(m_chart->timeAxis()->min() > 100);
    const QImage image = screen();
    QVERIFY(dashedLineAt(image, plot(), 160, isTopTarget));
    QVERIFY(dashedLineAt(image, plot(), 150, isBottomTarget));
}

void TestProfileTargets::pictureHoldsTheLinesOnlyWhenShown() {
    for (int second = 1; second <= 600; ++second)
        m_chart->appendSample(50, 40);
    const QString hidden = m_out->filePath(QStringLiteral("hidden.png"));
    QVERIFY(m_form->saveChartTo(hidden));
    showTargets();
    const QString shown = m_out->filePath(QStringLiteral("shown.png"));
    QVERIFY(m_form->saveChartTo(shown));

    const QRectF picturePlot = console::renderRunChart(m_chart->record()).plotArea;
    const QImage without = QImage(hidden).convertToFormat(QImage::Format_RGB32);
    const QImage with = QImage(shown).convertToFormat(QImage::Format_RGB32);
    with.save(testsupport::artifactsDir() + QStringLiteral("/targets-picture.png"));
    struct Line {
        int degrees;
        bool (*colour)(QRgb);
    };
    for (const Line& line :
         {Line{160, isTopTarget}, Line{235, isTopTarget}, Line{150, isBottomTarget}}) {
        const auto [degrees, colour] = line;
        QVERIFY2(dashedLineAt(with, picturePlot, degrees, colour),
                 qPrintable(QString::number(degrees)));
        QCOMPARE(coverAt(without, picturePlot, degrees, colour).pixels, 0);
    }
    // The curves are drawn the same either way.
    QVERIFY(coverAt(with, picturePlot, 50, isRed).pixels > 0.9 * picturePlot.width());
    QVERIFY(coverAt(with, picturePlot, 40, isBlue).pixels > 0.9 * picturePlot.width());
}

// The top heater holding exactly at T1 (160 °C) for five minutes, the station
// silent for 27 of them: on screen and in the picture the gap shows, the target
// line does not fill it with the curve's colour, and the curve lies on the line
// everywhere else.
void TestProfileTargets::gapOnAHoldShowsThroughTheTarget() {
    showTargets();
    constexpr int kLast = 300;
    constexpr int kGapFrom = 120;
    constexpr int kGapTo = 146;
    for (int second = 1; second <= kLast; ++second) {
        if (second >= kGapFrom && second <= kGapTo)
            m_chart->appendGap();
        else
            m_chart->appendSample(160, 150);
    }
    const QString path = m_out->filePath(QStringLiteral("hold.png"));
    QVERIFY(m_form->saveChartTo(path));
    const QImage picture = QImage(path).convertToFormat(QImage::Format_RGB32);
    picture.save(testsupport::artifactsDir() + QStringLiteral("/targets-gap-on-hold.png"));
    const QRectF picturePlot = console::renderRunChart(m_chart->record()).plotArea;

    struct View {
        const char* name;
        QImage image;
        QRectF plot;
        double lastSecond;
    };
    QImage shownOnScreen;
    QTRY_VERIFY((shownOnScreen = screen(), coverAt(shownOnScreen, plot(), 160, isRed).pixels > 0));
    for (const View& view :
         {View{"screen", shownOnScreen, plot(), console::RunChart::kSecondsShown},
          View{"picture", picture, picturePlot, double(kLast)}}) {
        // A couple of seconds in from each end of the gap, clear of the line's ends.
        const double from = (kGapFrom + 2) / view.lastSecond;
        const double to = (kGapTo - 2) / view.lastSecond;
        QVERIFY2(coverAt(view.image, view.plot, 160, isRed, from, to).pixels == 0, view.name);
        QVERIFY2(coverAt(view.image, view.plot, 150, isBlue, from, to).pixels == 0, view.name);
        QVERIFY2(coverAt(view.image, view.plot, 160, isTopTarget, from, to).pixels > 0, view.name);
        QVERIFY2(coverAt(view.image, view.plot, 160, isRed, 10 / view.lastSecond,
                         (kGapFrom - 2) / view.lastSecond)
                         .pixels > 0,
                 view.name);
    }
}

// A run started with profile 0 (T1 160, T3 235, TB 150) that changed to profile
// 3 (T1 140, T3 16, TB 120) at second 301; profile 0 selected again after it:
// the picture draws each profile's lines over its own seconds, not the profile
// selected when it is saved.
void TestProfileTargets::pictureDrawsTheTargetsShownDuringTheRun() {
    showTargets();
    consoletest::HandClock clock(*m_form);
    consoletest::startRunWithoutLink(*m_form);
    testsupport::ModalWatcher boxes; // the warning a change during a run shows
    auto* combo = control<QComboBox>(*m_form, "ComboBox1");
    auto select = [combo](int number) {
        combo->setCurrentIndex(number);
        emit combo->activated(number);
    };
    for (int second = 1; second <= 300; ++second)
        m_chart->appendSample(50, 40);
    select(3);
    for (int second = 301; second <= 600; ++second)
        m_chart->appendSample(50, 40);
    select(0);
    QCOMPARE(boxes.boxes().size(), 2);

    const QString path = m_out->filePath(QStringLiteral("changed.png"));
    QVERIFY(m_form->saveChartTo(path));
    const QImage picture = QImage(path).convertToFormat(QImage::Format_RGB32);
    picture.save(testsupport::artifactsDir() + QStringLiteral("/targets-changed-mid-run.png"));
    const QRectF picturePlot = console::renderRunChart(m_chart->record()).plotArea;
    struct Line {
        int degrees;
        bool (*colour)(QRgb);
        bool firstHalf;
    };
    const Line lines[] = {{160, isTopTarget, true},    {235, isTopTarget, true},
                          {150, isBottomTarget, true}, {140, isTopTarget, false},
                          {16, isTopTarget, false},    {120, isBottomTarget, false}};
    for (const Line& line : lines) {
        const double there = coverAt(picture, picturePlot, line.degrees, line.colour,
                                     line.firstHalf ? 0.02 : 0.52, line.firstHalf ? 0.48 : 0.98)
                                 .pixels;
        const double elsewhere = coverAt(picture, picturePlot, line.degrees, line.colour,
                                         line.firstHalf ? 0.52 : 0.02, line.firstHalf ? 0.98 : 0.48)
                                     .pixels;
        QVERIFY2(there > 0.1 * picturePlot.width(), qPrintable(QString::number(line.degrees)));
        QVERIFY2(elsewhere == 0, qPrintable(QString::number(line.degrees)));
    }
}

void TestProfileTargets::tableNeverHoldsThem() {
    showTargets();
    m_chart->appendSample(195, 123);
    m_chart->appendGap();
    const QString path = m_out->filePath(QStringLiteral("run.csv"));
    QVERIFY(m_form->exportCsvTo(path));
    QCOMPARE(fileBytes(path), QByteArray("time_s,top_c,bottom_c\n1,195,123\n2,,\n"));
}

QTEST_MAIN(TestProfileTargets)
#include "tst_profiletargets.moc"
