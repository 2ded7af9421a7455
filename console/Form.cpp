// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/Form.h"

#include "config/Errors.h"
#include "config/IntegerText.h"
#include "config/SettingsFile.h"
#include "console/ErrorBox.h"
#include "console/Fonts.h"
#include "console/LinkMessages.h"
#include "console/RecordOptions.h"
#include "console/RunChart.h"
#include "console/RunExport.h"
#include "console/RunLimitsDialog.h"
#include "console/RunReportPdf.h"
#include "link/LineSpeeds.h"
#include "link/StationFrame.h"
#include "record/RunCsv.h"
#include "record/RunJournal.h"
#include "record/RunSummary.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace {

using namespace std::chrono_literals;

// The run clock and the poll both tick once a second.
constexpr auto kTickPeriod = 1000ms;

// The window as designed: 1008 x 710 of bands below the menu bar; its outer
// frame never smaller than 1024 x 768.
constexpr int kDesignedClientWidth = 1008;
constexpr int kDesignedClientHeight = 710;
constexpr QSize kMinimumOuterSize(1024, 768);

constexpr int kPanel2Height = 73;
constexpr int kPanel4Height = 48;
constexpr int kPanel3Height = 54;
constexpr int kPanel1Height = 35;

constexpr int kFontPx = 11;
constexpr int kFontPxMedium = 13;
constexpr int kFontPxLarge = 16;

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

// The profile transfer holds the poll and the whole console this long before and
// after the profile frame.
constexpr auto kTransferPause = 1000ms;

// A profile value travels as one byte.
constexpr std::int32_t kProfileByteMin = 0;
constexpr std::int32_t kProfileByteMax = 255;

// The run clock wraps after a day; each field shows two digits.
constexpr std::int32_t kSecondsPerMinute = 60;
constexpr std::int32_t kMinutesPerHour = 60;
constexpr std::int32_t kHoursPerDay = 24;
constexpr std::int32_t kNoLeadingZeroFrom = 10;

const QString kSectionConnect = QStringLiteral("Connect");
const QString kSectionGlobal = QStringLiteral("Global");

const QString kIdle = QStringLiteral("Простой");
const QString kSoldering = QStringLiteral("Пайка");
const QString kConnected = QStringLiteral("Подключен");
const QString kNotConnected = QStringLiteral("Не подключен");
const QString kFanOn = QStringLiteral("Вентилятор (вкл.)");
const QString kFanOff = QStringLiteral("Вентилятор (выкл.)");
const QString kFirmwareQmr = QStringLiteral("Прошивка от QMR");
const QString kFirmwareOther = QStringLiteral("Прошивка не от QMR");

const QString kNoLink = QStringLiteral("Нет соединения со станцией!");
const QString kProprietary = QStringLiteral("Выбрана проприетарная прошивка, действие невозможно!");
const QString kChangeWhileSoldering = QStringLiteral("Не рекомендуется менять профиль при пайке!");
const QString kTransferWhileSoldering =
    QStringLiteral("Записывать профиль во время пайки запрещено!");
const QString kProfileValueOutOfRange =
    QStringLiteral("Значение %1 = %2 вне диапазона 0..255, профиль не передан!");
const QString kReportFailed = QStringLiteral("Отчёт прогона не записан в %1: %2");
const QString kReferenceFailed = QStringLiteral("Эталон не загружен: %1 — %2");
const QString kReferenceLoading = QStringLiteral("Эталон загружается: %1");
const QString kJournalFailed =
    QStringLiteral("Журнал прогона не записан в %1: %2. Прогон идёт дальше без журнала.");

// The fan request the station would be sent for "on".
constexpr std::int32_t kFanRequestOn = 64;

constexpr int kProfileCount = 10;

// Firmware variants and flags as the settings file holds them.
constexpr std::int32_t kHexQmr = 0;
constexpr std::int32_t kHexProprietary = 1;
constexpr std::int32_t kFlagOff = 0;
constexpr std::int32_t kFlagOn = 1;

QString leadingZero(std::int32_t counter) {
    return counter < kNoLeadingZeroFrom ? QStringLiteral("0") : QString();
}

void setTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* makeLabel(QWidget* panel, const char* name, QRect geometry, int px,
                  Qt::Alignment horizontal = Qt::AlignHCenter, const QString& text = {}) {
    auto* label = new QLabel(text, panel);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(console::tahoma(px));
    label->setAlignment(horizontal | Qt::AlignVCenter);
    return label;
}

QPushButton* makeButton(QWidget* panel, const char* name, QRect geometry, const QString& text) {
    auto* button = new QPushButton(text, panel);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QFrame* makePanel(QWidget* parent, const char* name, int height) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setFixedHeight(height);
    return panel;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Программа управления инфракрасной паяльной станцией"));
    setFont(console::tahoma(kFontPx));

    auto* central = new QWidget(this);
    setBackground(central, central->palette().color(QPalette::Button));
    auto* bands = new QVBoxLayout(central);
    bands->setContentsMargins(0, 0, 0, 0);
    bands->setSpacing(0);
    setCentralWidget(central);

    buildMenu();
    buildPanel2();
    buildPanel4();
    buildPanel3();
    buildChart();
    buildJournal();
    buildChartMenu();
    buildPanel1();
    bands->addWidget(Panel2);
    bands->addWidget(Panel4);
    bands->addWidget(Panel3);
    bands->addWidget(Chart1, 1);
    bands->addWidget(Panel1);

    buildTimers();
    bindHandlers();

    const QSize designed(kDesignedClientWidth,
                         kDesignedClientHeight + menuBar()->sizeHint().height());
    setMinimumSize(designed);
    keepOuterSizeAtLeastMinimum();
    resize(designed.expandedTo(minimumSize()));
}

TForm1::~TForm1() = default;

void TForm1::setDialogs(QDialog* form2, QDialog* form3, QDialog* form4, QDialog* form6) {
    m_form2 = form2;
    m_form3 = form3;
    m_form4 = form4;
    m_form6 = form6;
}

// ---- building the window ----

void TForm1::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [bar](const char* name, const QString& caption) {
        QAction* action = bar->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    N3 = item("N3", QStringLiteral("Общие настройки"));
    N4 = item("N4", QStringLiteral("Редактор профилей"));
    N6 = item("N6", QStringLiteral("Выйти из программы"));
    N2 = item("N2", QStringLiteral("?"));
}

void TForm1::buildPanel2() {
    Panel2 = makePanel(centralWidget(), "Panel2", kPanel2Height);

    Label3 = makeLabel(Panel2, "Label3", {7, 4, 95, 37}, kFontPxMedium, Qt::AlignHCenter,
                       QStringLiteral("Термопрофиль"));
    setBackground(Label3, Label3->palette().color(QPalette::Midlight));

    ComboBox1 = new QComboBox(Panel2);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(7, 38, 95, 24);
    ComboBox1->setFont(console::tahoma(kFontPxMedium));
    ComboBox1->setEditable(false);
    for (int number = 0; number < kProfileCount; ++number)
        ComboBox1->addItem(QString::number(number));
    ComboBox1->setCurrentIndex(-1); // nothing is selected until the start-up initialisation
    {
        QPalette palette = ComboBox1->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        ComboBox1->setPalette(palette);
    }

    Works = makeLabel(Panel2, "Works", {106, 4, 121, 27}, kFontPxMedium);
    FTimer = makeLabel(Panel2, "FTimer", {106, 37, 121, 27}, kFontPxLarge);
    setTextColour(FTimer, QPalette::WindowText, kBlue);
    setBackground(FTimer, kWhite);

    TimerToZero = makeButton(Panel2, "TimerToZero", {232, 37, 34, 27}, QStringLiteral("<0>"));

    auto target = [this](const char* name, int top) {
        auto* edit = new QLineEdit(Panel2);
        edit->setObjectName(QLatin1String(name));
        edit->setGeometry(272, top, 121, 27);
        edit->setFont(console::tahoma(kFontPxLarge));
        edit->setAlignment(Qt::AlignCenter);
        edit->setReadOnly(true);
        setTextColour(edit, QPalette::Text, kBlue);
        return edit;
    };
    EditTemperatureUP = target("EditTemperatureUP", 4);
    EditTemperatureDown = target("EditTemperatureDown", 37);

    auto measured = [this](const char* name, int top) {
        QLabel* label = makeLabel(Panel2, name, {399, top, 121, 27}, kFontPxLarge);
        setTextColour(label, QPalette::WindowText, kRed);
        setBackground(label, kWhite);
        return label;
    };
    INTemperatureUP = measured("INTemperatureUP", 4);
    INTemperatureDown = measured("INTemperatureDown", 37);

    FormTextUp = makeLabel(Panel2, "FormTextUp", {526, 4, 239, 27}, kFontPxMedium, Qt::AlignLeft,
                           QStringLiteral("температура верхнего нагревателя, °C"));
    FormTextDown = makeLabel(Panel2, "FormTextDown", {526, 37, 239, 27}, kFontPxMedium,
                             Qt::AlignLeft, QStringLiteral("температура нижнего нагревателя, °C"));
}

void TForm1::buildPanel4() {
    Panel4 = makePanel(centralWidget(), "Panel4", kPanel4Height);

    constexpr int kHeadingTop = 0;
    constexpr int kValueTop = 24;
    constexpr int kRowHeight = 20;
    constexpr int kNameWidth = 247;
    constexpr int kValueWidth = 90;

    auto value = [this](const char* name, QRect geometry) {
        QLabel* label = makeLabel(Panel4, name, geometry, kFontPxMedium);
        setTextColour(label, QPalette::WindowText, kBlack);
        setBackground(label, kWhite);
        return label;
    };

    makeLabel(Panel4, "Label38", {5, kHeadingTop, kNameWidth, kRowHeight}, kFontPxMedium,
              Qt::AlignHCenter, QStringLiteral("Наименование профиля"));
    Label37 = value("Label37", {7, kValueTop, kNameWidth, kRowHeight});

    // The value columns; "Т" and "В" in the headings are Cyrillic letters.
    struct Column {
        int headingLeft;
        int valueLeft;
        const char* heading;
        const char* caption;
        const char* valueName;
        QLabel* TForm1::*member;
    };
    const Column columns[] = {
        {258, 260, "Label10", "Т0", "Label4", &TForm1::Label4},
        {356, 356, "Label11", "ТВ", "Label5", &TForm1::Label5},
        {452, 452, "Label12", "Т1", "Label6", &TForm1::Label6},
        {548, 548, "Label13", "S1", "Label7", &TForm1::Label7},
        {644, 644, "Label14", "Т3", "Label8", &TForm1::Label8},
        {740, 740, "Label15", "S3", "Label9", &TForm1::Label9},
    };
    for (const Column& column : columns) {
        makeLabel(Panel4, column.heading,
                  {column.headingLeft, kHeadingTop, kValueWidth, kRowHeight}, kFontPxMedium,
                  Qt::AlignHCenter, QString::fromUtf8(column.caption));
        this->*column.member =
            value(column.valueName, {column.valueLeft, kValueTop, kValueWidth, kRowHeight});
    }
}

void TForm1::buildPanel3() {
    Panel3 = makePanel(centralWidget(), "Panel3", kPanel3Height);

    constexpr int kHeadingTop = 6;
    constexpr int kValueTop = 31;
    constexpr int kRowHeight = 20;
    constexpr int kFirstLeft = 7;
    constexpr int kStep = 66;
    constexpr int kWidth = 60;

    struct Column {
        const char* heading;
        const char* caption;
        const char* valueName;
        QLabel* TForm1::*member;
    };
    const Column columns[] = {
        {"Label24", "P1", "Label23", &TForm1::Label23},
        {"Label25", "P2", "Label16", &TForm1::Label16},
        {"Label26", "pGain", "Label17", &TForm1::Label17},
        {"Label27", "iGain", "Label18", &TForm1::Label18},
        {"Label28", "dGain", "Label19", &TForm1::Label19},
        {"Label29", "Tpid", "Label20", &TForm1::Label20},
        {"Label30", "pBH", "Label21", &TForm1::Label21},
        {"Label31", "kBH", "Label22", &TForm1::Label22},
        {"Label32", "Δ°t1", "Label34", &TForm1::Label34},
        {"Label33", "Δ°t2", "Label35", &TForm1::Label35},
    };
    QList<QLabel*> headings;
    int left = kFirstLeft;
    for (const Column& column : columns) {
        headings << makeLabel(Panel3, column.heading, {left, kHeadingTop, kWidth, kRowHeight},
                              kFontPxMedium, Qt::AlignHCenter, QString::fromUtf8(column.caption));
        QLabel* value = makeLabel(Panel3, column.valueName, {left, kValueTop, kWidth, kRowHeight},
                                  kFontPxMedium);
        setTextColour(value, QPalette::WindowText, kBlack);
        setBackground(value, kWhite);
        this->*column.member = value;
        left += kStep;
    }
    // The order in which the firmware switch hides and shows them: values, then
    // the headings Label24 to Label33.
    m_pidLabels = {Label16, Label17, Label18, Label19, Label20,
                   Label21, Label22, Label23, Label34, Label35};
    m_pidLabels += headings;
}

void TForm1::buildChart() {
    Chart1 = new console::RunChart(centralWidget());
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Series1 = Chart1->topSeries();
    Series1->setObjectName(QStringLiteral("Series1"));
    Series2 = Chart1->bottomSeries();
    Series2->setObjectName(QStringLiteral("Series2"));
}

void TForm1::buildPanel1() {
    Panel1 = makePanel(centralWidget(), "Panel1", kPanel1Height);

    constexpr int kTop = 4;
    constexpr int kHeight = 25;
    constexpr int kButtonWidth = 110;
    auto button = [this](const char* name, int left, const QString& text) {
        return makeButton(Panel1, name, {left, kTop, kButtonWidth, kHeight}, text);
    };
    ButtonConnect = button("ButtonConnect", 7, QStringLiteral("Подключение"));
    Button1 = button("Button1", 116, QStringLiteral("Передать профиль"));
    Button3 = button("Button3", 225, QStringLiteral("Вентилятор"));
    ButtonStart = button("ButtonStart", 334, QStringLiteral("Старт"));
    ButtonStop = button("ButtonStop", 443, QStringLiteral("Стоп"));
    Button2 = button("Button2", 552, QStringLiteral("Настройка порта"));

    auto boxed = [this](const char* name, int left) {
        QLabel* label = makeLabel(Panel1, name, {left, kTop, 50, kHeight}, kFontPxMedium);
        setTextColour(label, QPalette::WindowText, kBlack);
        setBackground(label, kWhite);
        return label;
    };
    Label1 = boxed("Label1", 663);
    Label2 = boxed("Label2", 715);

    TextLinks = makeLabel(Panel1, "TextLinks", {770, kTop, 91, kHeight}, kFontPxMedium);
    setTextColour(TextLinks, QPalette::WindowText, kBlue);
    Label36 =
        makeLabel(Panel1, "Label36", {867, kTop, 134, kHeight}, kFontPxMedium, Qt::AlignRight);
    setTextColour(Label36, QPalette::WindowText, kBlue);
}

void TForm1::buildTimers() {
    auto timer = [this](const char* name) {
        auto* t = new QTimer(this);
        t->setObjectName(QLatin1String(name));
        t->setTimerType(Qt::PreciseTimer);
        return t;
    };
    Timer1 = timer("Timer1");
    Timer2 = timer("Timer2");
    setTickPeriod(kTickPeriod);
}

void TForm1::setTickPeriod(std::chrono::milliseconds period) {
    m_tickPeriod = period;
    Timer1->setInterval(period);
    Timer2->setInterval(period);
    m_monitor.setPeriod(period);
}

void TForm1::setClock(Clock clock) {
    m_clock = clock ? std::move(clock) : Clock(record::monotonicNow);
}

void TForm1::bindHandlers() {
    // Every handler runs behind the one boundary that turns an error into the error box.
    auto guarded = [this](void (TForm1::*handler)()) {
        return [this, handler] {
            console::runHandler(this, [this, handler] { (this->*handler)(); });
        };
    };
    connect(ComboBox1, &QComboBox::activated, this, guarded(&TForm1::ComboBox1Change));
    connect(ButtonConnect, &QPushButton::clicked, this, guarded(&TForm1::ButtonConnectClick));
    connect(Button1, &QPushButton::clicked, this, guarded(&TForm1::Button1Click));
    connect(Button2, &QPushButton::clicked, this, guarded(&TForm1::Button2Click));
    connect(Button3, &QPushButton::clicked, this, guarded(&TForm1::Button3Click));
    connect(ButtonStart, &QPushButton::clicked, this, guarded(&TForm1::ButtonStartClick));
    connect(ButtonStop, &QPushButton::clicked, this, guarded(&TForm1::ButtonStopClick));
    connect(TimerToZero, &QPushButton::clicked, this, guarded(&TForm1::SendProfil));
    connect(Timer1, &QTimer::timeout, this, guarded(&TForm1::Timer1Timer));
    connect(Timer2, &QTimer::timeout, this, guarded(&TForm1::Timer2Timer));
    connect(N2, &QAction::triggered, this, guarded(&TForm1::N2Click));
    connect(N3, &QAction::triggered, this, guarded(&TForm1::N3Click));
    connect(N4, &QAction::triggered, this, guarded(&TForm1::N4Click));
    connect(N6, &QAction::triggered, this, guarded(&TForm1::N6Click));
    connect(m_saveChart, &QAction::triggered, this, guarded(&TForm1::saveChartClicked));
    connect(m_exportData, &QAction::triggered, this, guarded(&TForm1::exportDataClicked));
    connect(m_runLimits, &QAction::triggered, this, guarded(&TForm1::runLimitsClicked));
    connect(m_saveReport, &QAction::triggered, this, guarded(&TForm1::saveReportClicked));
    connect(m_chooseReference, &QAction::triggered, this, guarded(&TForm1::chooseReferenceClicked));
    connect(m_dropReference, &QAction::triggered, this, guarded(&TForm1::dropReferenceClicked));
    // Only the operator's click: the start-up reading sets the marks silently.
    connect(m_autoSave, &QAction::triggered, this, &TForm1::autoSaveTriggered);
    connect(m_showTargets, &QAction::triggered, this, &TForm1::targetsTriggered);
    connect(&m_port, &station::PortUnit::lost, this, &TForm1::PortLost);
}

// ---- window events ----

bool TForm1::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (event->type() != QEvent::WindowActivate)
        return handled;
    // By the time the window is active, the window manager has framed it.
    keepOuterSizeAtLeastMinimum();
    // Start-up initialisation belongs to the first activation only: coming back
    // from a dialog or a message box activates the window again.
    if (!m_formCreated) {
        m_formCreated = true;
        console::runHandler(this, [this] { FormCreate(); });
    }
    return handled;
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_centred || event->spontaneous())
        return;
    m_centred = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    keepOuterSizeAtLeastMinimum();
    // The console starts as the active window; without a window manager nobody
    // else would make it so, and its start-up initialisation waits for that.
    activateWindow();
}

void TForm1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    keepOuterSizeAtLeastMinimum();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    keepOuterSizeAtLeastMinimum();
}

// The limit is on the outer frame; the window system adds its frame (if any)
// around our client area, so the client's minimum is what is left of it, and
// never less than the designed client area.
void TForm1::keepOuterSizeAtLeastMinimum() {
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize designed(kDesignedClientWidth,
                         kDesignedClientHeight + menuBar()->sizeHint().height());
    const QSize wanted = (kMinimumOuterSize - frame).expandedTo(designed);
    if (minimumSize() != wanted)
        setMinimumSize(wanted);
}

// ---- start-up and profile ----

void TForm1::FormCreate() {
    config::SettingsFile ini;

    TGrafikX = 0;
    TGrafikX1 = 0;
    TGrafikY = 0;
    TSecundes = 0;
    TMinutes = 0;
    THours = 0;
    TSecundesL = QStringLiteral("0");
    TMinutesL = QStringLiteral("0");
    THoursL = QStringLiteral("0");

    StatusConnect = 0;
    INTemperatureUP->setText(QStringLiteral("0"));
    INTemperatureDown->setText(QStringLiteral("0"));
    TextLinks->setText(kNotConnected);
    setWorks(kIdle, kBlue);
    FTimer->setText(QStringLiteral("00:00:00"));
    Chart1->clearSamples();

    showPort(ini.ReadString(kSectionConnect, QStringLiteral("Comport"), {}));
    Label2->setText(ini.ReadString(kSectionConnect, QStringLiteral("BaudRate"), {}));

    const std::int32_t hex = ini.ReadInteger(kSectionGlobal, QStringLiteral("Hex"), 0);
    if (hex == kHexQmr) {
        Label36->setText(kFirmwareQmr);
        InVisibleSettingPID();
    } else if (hex == kHexProprietary) {
        Label36->setText(kFirmwareOther);
        VisibleSettingPID();
    }

    const std::int32_t visibleProfil =
        ini.ReadInteger(kSectionGlobal, QStringLiteral("VisibleProfil"), 0);
    if (visibleProfil == kFlagOn)
        Panel4->show();
    else if (visibleProfil == kFlagOff)
        Panel4->hide();

    SoldDesold = 0;
    ComboBox1->setCurrentIndex(0); // the program's own choice: not an operator change
    ReadProfil();

    FanActiv = 0;
    Button3->setText(kFanOff);

    readRecordOptions(ini);
}

void TForm1::ReadProfil() {
    ReadProfil(config::SettingsFile());
}

void TForm1::ReadProfil(const config::SettingsFile& ini) {
    NumberProfil = ComboBox1->currentText();

    const QString profile = QStringLiteral("Profil") + NumberProfil;
    auto show = [&ini, &profile](const char* key, std::initializer_list<QWidget*> where) {
        const std::int32_t value = ini.ReadInteger(profile, QLatin1String(key), 0);
        const QString text = QString::number(value);
        for (QWidget* widget : where) {
            if (auto* label = qobject_cast<QLabel*>(widget))
                label->setText(text);
            else if (auto* edit = qobject_cast<QLineEdit*>(widget))
                edit->setText(text);
        }
        return value;
    };
    show("T0", {Label4});
    const std::int32_t tb = show("TB", {Label5, EditTemperatureDown});
    const std::int32_t t1 = show("T1", {Label6});
    show("S1", {Label7});
    const std::int32_t t3 = show("T3", {Label8, EditTemperatureUP});
    show("S3", {Label9});
    Chart1->setTargets({t1, t3, tb});
    Label37->setText(ini.ReadString(profile, QStringLiteral("Name"), {}));

    NumberProfilTx = static_cast<std::uint8_t>(std::max(ComboBox1->currentIndex(), 0));
    // A run keeps which profile was shown from which second.
    if (m_monitor.runGoesOn())
        Chart1->showProfile(shownProfile());

    auto global = [&ini](const char* key) {
        return ini.ReadInteger(kSectionGlobal, QLatin1String(key), 0);
    };
    Label23->setText(QString::number(global("EditP1")));
    Label16->setText(QString::number(global("EditP2")));
    Label17->setText(QString::number(global("EditpGain")));
    Label18->setText(QString::number(global("EditiGain")));
    Label19->setText(QString::number(global("EditdGain")));
    Label20->setText(QString::number(global("EditTpid")));
    Label21->setText(QString::number(global("EditpBH")));
    Label22->setText(QString::number(global("EditkBH")));
    CorrectTB = global("Correct1");
    Label34->setText(QString::number(CorrectTB));
    CorrectTH = global("Correct2");
    Label35->setText(QString::number(CorrectTH));
    EnableFan = global("EnableFan");
    AutoStart = global("AutoStart");
    TempEnableFan = global("TempEnableFan");

    if (AutoStart == kFlagOff) {
        ButtonStart->show();
        ButtonStop->show();
    } else if (AutoStart == kFlagOn) {
        ButtonStart->hide();
        ButtonStop->hide();
    }
}

void TForm1::ComboBox1Change() {
    if (Works->text() == kSoldering)
        console::showMessage(this, kChangeWhileSoldering);
    ReadProfil();
}

// ---- firmware variant ----

void TForm1::InVisibleSettingPID() {
    setPidStripVisible(false);
    StatusQMR = 1;
}

void TForm1::VisibleSettingPID() {
    setPidStripVisible(true);
    StatusQMR = 0;
}

void TForm1::setPidStripVisible(bool visible) {
    for (QLabel* label : std::as_const(m_pidLabels))
        label->setVisible(visible);
    Panel3->setVisible(visible);
}

// ---- run state ----

void TForm1::setWorks(const QString& caption, const QColor& colour) {
    setTextColour(Works, QPalette::WindowText, colour);
    Works->setText(caption);
}

// A device path is far wider than the port's box: its end is what tells two
// adapters apart, and the tooltip has it whole.
void TForm1::showPort(const QString& port) {
    Label1->setText(
        Label1->fontMetrics().elidedText(port, Qt::ElideLeft, Label1->contentsRect().width()));
    Label1->setToolTip(port);
}

void TForm1::Start() {
    if (StatusConnect == 0) {
        console::showMessage(this, kNoLink);
        return;
    }
    setWorks(kSoldering, kRed);
    // A second start keeps the running clock as it is.
    if (m_monitor.runGoesOn())
        return;
    const std::chrono::milliseconds at = now();
    m_monitor.runStarted(at);
    beginRun();
    Timer1->start(m_monitor.untilClockTick(at));
}

// A run's own record: the record notes where it starts and what it says about
// itself, and the journal gives it a file of its own.
void TForm1::beginRun() {
    const record::ReferenceRun* reference = Chart1->reference();
    Chart1->beginRun({record::consoleVersion(), QDateTime::currentDateTime(), NumberPort, CorrectTB,
                      CorrectTH, shownProfile(), reference ? reference->fileName : QString()});
    m_journal->runStarted();
}

// The run is over (stopped, or reset while it went on): what it did is worked
// out once and handed to the chart's corner and the end of its record (the
// journal's file and the export).
void TForm1::finishRun() {
    const record::RunLimits limits = [] {
        const config::SettingsFile ini;
        return console::readRunLimits(ini);
    }();
    const std::optional<record::RunAssessment> assessment =
        record::assessLastRun(Chart1->record(), limits, Chart1->reference());
    if (!assessment) {
        m_journal->runEnded();
        return;
    }
    Chart1->closeRun(record::closingLines(*assessment));
    Chart1->showVerdict(*assessment);
    const record::RunRecord& run = Chart1->record();
    m_lastReport = record::makeRunReport(run, run.runs().back().first, run.size(), *assessment,
                                         Chart1->reference());
    // The report goes beside the run's file once the file is on the disk.
    if (const std::optional<quint64> file = m_journal->runEnded())
        m_reportsDue.expect(*file, *m_lastReport);
}

// The run's file is whole: its report goes beside it.
void TForm1::journalFileClosed(quint64 file, const QString& path) {
    if (const std::optional<record::DueReports::Due> due = m_reportsDue.fileClosed(file, path))
        writeReport(due->path, due->report);
}

bool TForm1::writeReport(const QString& path, const record::RunReport& report) {
    const console::ReportWritten written = console::writeRunReport(path, report);
    if (!written.written)
        console::showError(this, kReportFailed.arg(path, written.reason));
    return written.written;
}

std::optional<record::RunReport> TForm1::reportToSave() const {
    if (m_monitor.runGoesOn()) {
        const config::SettingsFile ini;
        return record::lastRunReport(Chart1->record(), console::readRunLimits(ini),
                                     Chart1->reference());
    }
    return m_lastReport;
}

bool TForm1::saveReportTo(const QString& path) {
    const std::optional<record::RunReport> report = reportToSave();
    return report && writeReport(path, *report);
}

// The profile as the window shows it.
record::RunProfile TForm1::shownProfile() const {
    auto value = [](const QLabel* label) {
        return config::tryTextToInt(label->text()).value_or(0);
    };
    return {NumberProfilTx, Label37->text(), value(Label4), value(Label5),
            value(Label6),  value(Label7),   value(Label8), value(Label9)};
}

void TForm1::Stop() {
    if (StatusConnect == 0) {
        console::showMessage(this, kNoLink);
        return;
    }
    setWorks(kIdle, kBlue);
    if (m_monitor.runGoesOn()) {
        recordSeconds(m_monitor.runStopped(now()));
        finishRun();
    }
    Timer1->stop();
}

void TForm1::ButtonStartClick() {
    Start();
}

void TForm1::ButtonStopClick() {
    Stop();
}

void TForm1::Button3Click() {
    if (StatusFan == 0) {
        FanActiv = kFanRequestOn;
        StatusFan = 1;
        Button3->setText(kFanOn);
    } else {
        StatusFan = 0;
        FanActiv = 0;
        Button3->setText(kFanOff);
    }
}

// ---- the link ----

void TForm1::ButtonConnectClick() {
    if (StatusQMR != 0)
        Connect();
    else
        console::showMessage(this, kProprietary);
}

void TForm1::Connect() {
    if (StatusConnect == 0) {
        PortInit(); // an error here leaves the console disconnected
        StatusConnect = 1;
    } else {
        StatusConnect = 0;
        KillComm();
    }
}

void TForm1::PortInit() {
    config::SettingsFile ini;
    NumberPort = ini.ReadString(kSectionConnect, QStringLiteral("Comport"), {});
    // A speed is a 32-bit integer and one of those the connection dialog offers; a
    // station runs at no other, so anything else is a typing error, refused before
    // anything is opened.
    const std::int32_t speed =
        config::textToInt(ini.ReadString(kSectionConnect, QStringLiteral("BaudRate"), {}));
    if (!station::isLineSpeed(speed))
        throw config::AppError(console::speedRefusalText(speed));
    BaudRate = static_cast<std::uint32_t>(speed);

    const station::OpenResult opened =
        m_port.open(station::resolvePortDevice(NumberPort, config::portLinkDirectory()), BaudRate);
    if (!opened.ok) {
        m_port.close();
        TextLinks->setText(kNotConnected);
        Timer2->stop();
        throw config::AppError(console::openRefusalText(NumberPort, opened.failure));
    }
    // Not yet answered: the readouts keep what they show until the first frame.
    m_monitor.linkOpened();
    TextLinks->setText(kConnected);
    Timer2->start(m_tickPeriod);
}

void TForm1::KillComm() {
    m_port.close();
    m_monitor.linkClosed();
    TextLinks->setText(kNotConnected);
    Timer2->stop();
    INTemperatureUP->setText(QStringLiteral("0"));
    INTemperatureDown->setText(QStringLiteral("0"));
}

// The device went away under an open link: close it the way a disconnect does
// (a run goes on), then tell the operator once.
void TForm1::PortLost(const station::PortFailure& failure) {
    if (StatusConnect == 0)
        return;
    StatusConnect = 0;
    KillComm();
    // The report waits for the event loop, so the handler that noticed the loss
    // (a poll tick in the middle of a write) finishes first.
    const QString message = console::linkLostText(NumberPort, failure);
    QMetaObject::invokeMethod(
        this, [this, message] { console::showError(this, message); }, Qt::QueuedConnection);
}

// ---- the poll ----

// During a run the poll reads in the middle of the run clock's seconds; after
// something moved it (a stall, a new link) one shorter or longer wait brings it
// back. Unless the read closed the link.
void TForm1::Timer2Timer() {
    SendPostToStation();
    const std::chrono::milliseconds readAt = now();
    ReadInformations(true);
    if (const auto wait = m_monitor.pollWait(readAt); wait && Timer2->isActive())
        Timer2->start(std::max(*wait - (now() - readAt), 0ms));
}

void TForm1::SendPostToStation() {
    SendInformationsQMR();
}

// A frame the line cannot take now is dropped whole; the station's silence that
// follows shows through the poll's reads.
void TForm1::SendInformationsQMR() {
    m_port.writeFrame(station::buildStatusFrame(SoldDesold, NumberProfilTx));
}

// The station's answer to the frame just written is not waited for: this takes
// every whole frame that came since the last read. The monitor says which
// commands to obey (oldest first), what the readouts and the fan show and which
// second of a run the newest answer belongs to; without a new frame nothing
// changes.
void TForm1::ReadInformations(bool pollTick) {
    const QList<station::StationFrame> frames = m_port.readFrames();
    const std::chrono::milliseconds at = now();
    const station::ReadRules rules{CorrectTB, CorrectTH, AutoStart == kFlagOn, EnableFan == kFlagOn,
                                   TempEnableFan};
    const station::ReadOutcome outcome =
        pollTick ? m_monitor.pollRead(at, frames, rules) : m_monitor.otherRead(at, frames, rules);
    for (const station::RemoteCommand command : outcome.commands) {
        if (command == station::RemoteCommand::Start)
            Start();
        else
            Stop();
    }
    if (outcome.newest) {
        RXVerh = outcome.newest->top;
        RXNiz = outcome.newest->bottom;
    }
    if (outcome.fanOn) {
        FanActiv = *outcome.fanOn ? kFanRequestOn : 0;
        Button3->setText(*outcome.fanOn ? kFanOn : kFanOff);
    }
    showStation();
}

// The link caption and the readouts as the monitor has them. Only on an open
// link: a command obeyed from a frame may have closed it.
void TForm1::showStation() {
    if (StatusConnect == 0 || !m_port.isOpen())
        return;
    TextLinks->setText(m_monitor.linkCaption());
    INTemperatureUP->setText(m_monitor.topReadout());
    INTemperatureDown->setText(m_monitor.bottomReadout());
}

// ---- the profile transfer ----

void TForm1::Button1Click() {
    if (StatusConnect == 0) {
        console::showMessage(this, kNoLink);
        return;
    }
    if (Works->text() == kSoldering) {
        console::showMessage(this, kTransferWhileSoldering);
        return;
    }

    struct Value {
        const char* key;
        const QLabel* caption;
        std::int32_t station::ProfileValues::*field;
    };
    const Value values[] = {
        {"T0", Label4, &station::ProfileValues::T0}, {"TB", Label5, &station::ProfileValues::TB},
        {"T1", Label6, &station::ProfileValues::T1}, {"S1", Label7, &station::ProfileValues::S1},
        {"T3", Label8, &station::ProfileValues::T3}, {"S3", Label9, &station::ProfileValues::S3},
    };
    station::ProfileValues profile;
    for (const Value& value : values)
        profile.*value.field = config::textToInt(value.caption->text());
    // Each value travels as one byte: anything wider would reach the station as
    // a different number, so nothing is sent at all.
    for (const Value& value : values) {
        const std::int32_t number = profile.*value.field;
        if (number < kProfileByteMin || number > kProfileByteMax) {
            console::showMessage(this, kProfileValueOutOfRange.arg(QLatin1String(value.key),
                                                                   QString::number(number)));
            return;
        }
    }

    const station::StationFrame frame = station::buildProfileFrame(NumberProfilTx, profile);
    // The station takes the profile with the poll quiet around it; the console
    // holds still meanwhile. The frame reaches the wire before the second pause.
    Timer2->stop();
    QThread::msleep(static_cast<unsigned long>(kTransferPause.count()));
    m_port.writeFrame(frame);
    ReadInformations(false);
    QThread::msleep(static_cast<unsigned long>(kTransferPause.count()));
    Timer2->start(m_tickPeriod);
}

// ---- the run clock and the chart ----

void TForm1::Timer1Timer() {
    const std::chrono::milliseconds at = now();
    recordSeconds(m_monitor.clockTick(at));
    if (Timer1->isActive())
        Timer1->start(m_monitor.untilClockTick(at)); // as the second under way ends
}

void TForm1::recordSeconds(const std::vector<record::RunSecond>& seconds) {
    for (const record::RunSecond& second : seconds) {
        TGrafikY = TGrafikY + 1;
        if (second) {
            TGrafikX = second->top;
            TGrafikX1 = second->bottom;
            Chart1->appendSample(TGrafikX, TGrafikX1);
        } else {
            Chart1->appendGap();
        }
    }
    showRunClock();
}

void TForm1::SendProfil() {
    // The seconds that ended before the reset still belong to the run before it;
    // a run going on goes on as a new one.
    recordSeconds(m_monitor.clockTick(now()));
    if (m_monitor.runGoesOn())
        finishRun();
    else
        m_journal->runEnded();
    TGrafikY = 0;
    Chart1->clearSamples();
    showRunClock();
    if (m_monitor.runGoesOn())
        beginRun();
}

const record::RunRecord& TForm1::runRecord() const {
    return Chart1->record();
}

// The clock's face: the seconds counted since the reset, wrapped at a day.
void TForm1::showRunClock() {
    TSecundes = TGrafikY % kSecondsPerMinute;
    TMinutes = TGrafikY / kSecondsPerMinute % kMinutesPerHour;
    THours = TGrafikY / (kSecondsPerMinute * kMinutesPerHour) % kHoursPerDay;
    TSecundesL = leadingZero(TSecundes);
    TMinutesL = leadingZero(TMinutes);
    THoursL = leadingZero(THours);
    FTimer->setText(THoursL + QString::number(THours) + QLatin1Char(':') + TMinutesL +
                    QString::number(TMinutes) + QLatin1Char(':') + TSecundesL +
                    QString::number(TSecundes));
}

// ---- dialogs and menu ----

void TForm1::showModal(QDialog* dialog) {
    if (dialog)
        dialog->exec();
}

void TForm1::Button2Click() {
    showModal(m_form4);
}

void TForm1::N2Click() {
    showModal(m_form3);
}

void TForm1::N3Click() {
    showModal(m_form2);
}

void TForm1::N4Click() {
    showModal(m_form6);
}

void TForm1::N6Click() {
    close();
}

// ---- what the dialogs change ----

void TForm1::SetFirmwareCaption(const QString& text) {
    Label36->setText(text);
}

void TForm1::SetProfileStripVisible(bool visible) {
    Panel4->setVisible(visible);
}

void TForm1::SetConnectionLabels(const QString& port, const QString& speed) {
    showPort(port);
    Label2->setText(speed);
}

// ---- keeping the run's record ----

void TForm1::buildChartMenu() {
    m_exportFolder = QDir::homePath();
    m_chartMenu = new QMenu(this);
    m_chartMenu->setObjectName(QStringLiteral("ChartMenu"));
    m_saveChart = m_chartMenu->addAction(QStringLiteral("Сохранить график..."));
    m_saveChart->setObjectName(QStringLiteral("ActionSaveChart"));
    m_exportData = m_chartMenu->addAction(QStringLiteral("Экспорт данных..."));
    m_exportData->setObjectName(QStringLiteral("ActionExportData"));
    m_saveReport = m_chartMenu->addAction(QStringLiteral("Сохранить отчёт (PDF)..."));
    m_saveReport->setObjectName(QStringLiteral("ActionSaveReport"));
    m_chartMenu->addSeparator();
    m_autoSave = m_chartMenu->addAction(QStringLiteral("Автосохранение прогонов"));
    m_autoSave->setObjectName(QStringLiteral("ActionAutoSave"));
    m_autoSave->setCheckable(true);
    m_showTargets = m_chartMenu->addAction(QStringLiteral("Показывать уставки профиля"));
    m_showTargets->setObjectName(QStringLiteral("ActionShowTargets"));
    m_showTargets->setCheckable(true);
    m_chartMenu->addSeparator();
    m_runLimits = m_chartMenu->addAction(QStringLiteral("Допуски прогона..."));
    m_runLimits->setObjectName(QStringLiteral("ActionRunLimits"));
    m_chartMenu->addSeparator();
    m_chooseReference = m_chartMenu->addAction(QStringLiteral("Эталонный прогон..."));
    m_chooseReference->setObjectName(QStringLiteral("ActionChooseReference"));
    m_dropReference = m_chartMenu->addAction(QStringLiteral("Убрать эталон"));
    m_dropReference->setObjectName(QStringLiteral("ActionDropReference"));
    // The right button opens the menu; the left one keeps panning the chart.
    Chart1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Chart1, &QWidget::customContextMenuRequested, this, &TForm1::showChartMenu);
}

// The position comes in the coordinates of the chart's viewport.
void TForm1::showChartMenu(const QPoint& position) {
    const bool hasSamples = !Chart1->record().isEmpty();
    m_saveChart->setEnabled(hasSamples);
    m_exportData->setEnabled(hasSamples);
    m_saveReport->setEnabled(m_lastReport.has_value() || (m_monitor.runGoesOn() && hasSamples));
    m_dropReference->setEnabled(Chart1->reference() || !m_referencePath.isEmpty());
    // The menu takes the pointer: the box beside it would stay over the menu.
    Chart1->cursorReadout()->hide();
    m_chartMenu->popup(Chart1->viewport()->mapToGlobal(position));
}

void TForm1::saveChartClicked() {
    const QString path = chooseExportPath(QStringLiteral("Сохранить график"), QStringLiteral("png"),
                                          QStringLiteral("Изображение PNG (*.png)"));
    if (!path.isEmpty())
        saveChartTo(path);
}

void TForm1::saveReportClicked() {
    const std::optional<record::RunReport> report = reportToSave();
    if (!report)
        return;
    const QString path = chooseExportPath(QStringLiteral("Сохранить отчёт"), QStringLiteral("pdf"),
                                          QStringLiteral("Документ PDF (*.pdf)"), report->fileName);
    if (!path.isEmpty())
        writeReport(path, *report);
}

// What the next run's end is judged by; the run shown keeps its verdict.
void TForm1::runLimitsClicked() {
    console::RunLimitsDialog dialog(this);
    dialog.exec();
    // The deviation line is judged by the same tolerance from now on.
    const config::SettingsFile ini;
    Chart1->setTolerance(console::readTolerance(ini));
}

// The runs are where a good run to follow is found.
void TForm1::chooseReferenceClicked() {
    QFileDialog dialog(this, QStringLiteral("Эталонный прогон"), config::runsDirectory(),
                       QStringLiteral("Таблица CSV (*.csv)"));
    dialog.setObjectName(QStringLiteral("ReferenceDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    chooseReference(dialog.selectedFiles().constFirst());
}

void TForm1::dropReferenceClicked() {
    dropReference();
}

bool TForm1::chooseReference(const QString& path) {
    const record::ReferenceLoad load = record::loadReferenceRun(path);
    if (!load.run) {
        console::showError(this, kReferenceFailed.arg(path, load.error));
        return false;
    }
    if (!console::runHandler(this, [&path] { console::saveReferencePath(path); }))
        return false;
    ++m_referenceLoad; // a kept reference still loading is not wanted any more
    m_referencePath = path;
    Chart1->setReference(load.run);
    return true;
}

bool TForm1::dropReference() {
    if (!console::runHandler(this, [] { console::saveReferencePath(QString()); }))
        return false;
    ++m_referenceLoad;
    m_referencePath.clear();
    Chart1->setReference(nullptr);
    return true;
}

// The kept reference loads off the window's thread: a folder that does not
// answer (a network share gone) must not hold the start. A file that does not
// load is told in the chart's corner, never in a box at start.
void TForm1::loadKeptReference(const QString& path) {
    m_referencePath = path;
    const quint64 load = ++m_referenceLoad;
    const QString name = QFileInfo(path).fileName();
    Chart1->showReferenceNote(kReferenceLoading.arg(name));
    record::loadReferenceInBackground(
        this, path,
        [this, load, name](const record::ReferenceLoad& result) {
            if (load != m_referenceLoad)
                return;
            if (result.run)
                Chart1->setReference(result.run);
            else
                Chart1->showReferenceNote(kReferenceFailed.arg(name, result.error));
        },
        m_referenceLoader);
}

void TForm1::exportDataClicked() {
    const QString path = chooseExportPath(QStringLiteral("Экспорт данных"), QStringLiteral("csv"),
                                          QStringLiteral("Таблица CSV (*.csv)"));
    if (!path.isEmpty())
        exportCsvTo(path);
}

// The save dialog, opened on a name made of the date, the time and the selected
// profile; empty when the operator cancels it.
QString TForm1::chooseExportPath(const QString& caption, const QString& extension,
                                 const QString& filter, const QString& suggested) {
    QFileDialog dialog(this, caption, m_exportFolder, filter);
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(extension);
    // Named as the journal names the run: by its start and the profile it started with.
    const record::RunRecord::RunMark* run = Chart1->record().runAt(0);
    dialog.selectFile(!suggested.isEmpty() ? suggested
                      : run
                          ? record::suggestedFileName(run->header, extension)
                          : record::suggestedFileName(QDateTime::currentDateTime(), NumberProfilTx,
                                                      Label37->text(), extension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString path = dialog.selectedFiles().constFirst();
    m_exportFolder = QFileInfo(path).absolutePath();
    return path;
}

bool TForm1::saveChartTo(const QString& path) {
    return console::runHandler(this, [&] {
        console::writeChartFile(path, Chart1->record(), console::kRunPictureSize,
                                Chart1->shownTargets(), Chart1->reference());
    });
}

bool TForm1::exportCsvTo(const QString& path) {
    return console::runHandler(this, [&] { console::writeCsvFile(path, Chart1->record()); });
}

// ---- the run journal and the profile targets ----

// The one place that says where the runs are kept.
void TForm1::buildJournal() {
    const QString folder = config::runsDirectory();
    m_journal = new record::RunJournal(Chart1->record(), folder, this);
    connect(Chart1, &console::RunChart::secondRecorded, m_journal, &record::RunJournal::recordGrew);
    connect(m_journal, &record::RunJournal::writeFailed, this, &TForm1::journalFailed);
    connect(m_journal, &record::RunJournal::fileClosed, this, &TForm1::journalFileClosed);
}

void TForm1::readRecordOptions(const config::SettingsFile& ini) {
    const bool autoSave = console::readRecordOption(ini, console::RecordOption::AutoSave);
    const bool targets = console::readRecordOption(ini, console::RecordOption::Targets);
    m_autoSave->setChecked(autoSave);
    m_journal->setOn(autoSave);
    m_showTargets->setChecked(targets);
    Chart1->setTargetsShown(targets);
    Chart1->setTolerance(console::readTolerance(ini));
    if (const QString reference = console::readReferencePath(ini); !reference.isEmpty())
        loadKeptReference(reference);
}

void TForm1::autoSaveTriggered(bool on) {
    if (keepRecordOption(console::RecordOption::AutoSave, m_autoSave, on))
        m_journal->setOn(on);
}

void TForm1::targetsTriggered(bool on) {
    if (keepRecordOption(console::RecordOption::Targets, m_showTargets, on))
        Chart1->setTargetsShown(on);
}

// The switch changes only after its key has reached the settings file; a
// refused write shows the error box and puts the mark back.
bool TForm1::keepRecordOption(console::RecordOption option, QAction* mark, bool on) {
    const bool written =
        console::runHandler(this, [option, on] { console::saveRecordOption(option, on); });
    if (!written)
        mark->setChecked(!on);
    return written;
}

void TForm1::journalFailed(const QString& path, const QString& reason) {
    console::showError(this, kJournalFailed.arg(path, reason));
}
