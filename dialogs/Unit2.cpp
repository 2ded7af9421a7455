// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/Unit2.h"

#include "config/IntegerText.h"
#include "config/SettingsFile.h"
#include "console/ErrorBox.h"
#include "console/Form.h"
#include "console/TextField.h"
#include "dialogs/Controls.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using dialogs::kDialogFontPx;
using dialogs::kFieldFontPx;

namespace {

const QString kSectionGlobal = QStringLiteral("Global");

// Firmware variants and on/off flags as the file holds them; any other value
// leaves the control that depends on the key as it is.
constexpr std::int32_t kHexQmr = 0;
constexpr std::int32_t kHexProprietary = 1;
constexpr std::int32_t kFlagOff = 0;
constexpr std::int32_t kFlagOn = 1;

constexpr QSize kFieldSize{121, 24};
constexpr int kLabelHeight = 16;
constexpr int kFieldLeft = 8;
constexpr int kLabelLeft = 135;

std::int32_t flagOf(const QAbstractButton* box) {
    return box->isChecked() ? kFlagOn : kFlagOff;
}

// 0 clears, 1 checks, anything else keeps what the box showed before.
void applyFlag(QAbstractButton* box, std::int32_t value) {
    if (value == kFlagOff)
        box->setChecked(false);
    else if (value == kFlagOn)
        box->setChecked(true);
}

QLineEdit* makeField(QWidget* parent, const char* name, QPoint topLeft) {
    auto* field = new QLineEdit(parent);
    dialogs::place(field, name, QRect(topLeft, kFieldSize), kFieldFontPx);
    console::holdAnyLength(field);
    return field;
}

template <typename Button>
Button* makeSwitch(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = new Button(caption, parent);
    dialogs::place(button, name, geometry, kFieldFontPx);
    return button;
}

} // namespace

const std::array<TForm2::Number, 10> TForm2::kNumbers{{
    {&TForm2::EditP2, &TForm2::FEditP2, "EditP2"},
    {&TForm2::EditpGain, &TForm2::FEditpGain, "EditpGain"},
    {&TForm2::EditiGain, &TForm2::FEditiGain, "EditiGain"},
    {&TForm2::EditdGain, &TForm2::FEditdGain, "EditdGain"},
    {&TForm2::EditTpid, &TForm2::FEditTpid, "EditTpid"},
    {&TForm2::EditpBH, &TForm2::FEditpBH, "EditpBH"},
    {&TForm2::EditkBH, &TForm2::FEditkBH, "EditkBH"},
    {&TForm2::EditP1, &TForm2::FEditP1, "EditP1"},
    {&TForm2::Edit1, &TForm2::FEdit1, "Correct1"},
    {&TForm2::Edit2, &TForm2::FEdit2, "Correct2"},
}};

TForm2::TForm2(TForm1& form1)
    : ModalDialog(QStringLiteral("Общие настройки станции"), QSize(587, 339), false, &form1),
      m_form1(form1) {
    setFont(dialogs::tahoma(kDialogFontPx));
    buildNumberRows();
    buildSwitches();
    buildButtons();
    chainTabOrder();
}

// One row per number: the field on the left, what it means and its range on the right.
void TForm2::buildNumberRows() {
    struct Row {
        QLineEdit* TForm2::*field;
        const char* fieldName;
        int top;
        const char* labelName;
        int labelTop;
        int labelWidth;
        const char* text;
    };
    static const Row rows[] = {
        {&TForm2::EditP1, "EditP1", 8, "Label1", 8, 442,
         "(50%-100%) - мощность верхнего нагревателя между T0 и T1 по графику"},
        {&TForm2::EditP2, "EditP2", 29, "Label2", 30, 439,
         "(50%-100%) - мощность нижнего нагревателя между T1 и T3 по графику"},
        {&TForm2::EditpGain, "EditpGain", 50, "Label3", 51, 264,
         "(0-255) - коэффициент пропорциональности"},
        {&TForm2::EditiGain, "EditiGain", 71, "Label4", 72, 235,
         "(0-255) - коэффициент интегрирования"},
        {&TForm2::EditdGain, "EditdGain", 92, "Label5", 93, 265,
         "(0-255) - коэффициент дифференцирования"},
        {&TForm2::EditTpid, "EditTpid", 113, "Label6", 114, 127, "(10-30) - период ПИД"},
        {&TForm2::EditpBH, "EditpBH", 134, "Label7", 135, 278,
         "(50%-100%) - мощность нижнего нагревателя"},
        {&TForm2::EditkBH, "EditkBH", 155, "Label8", 156, 212, "коэффициент нижнего нагревателя"},
        {&TForm2::Edit1, "Edit1", 176, "Label9", 177, 311,
         "корректоровка температуры верхнего термодатчика"},
        {&TForm2::Edit2, "Edit2", 197, "Label10", 198, 308,
         "корректировка температуры нижнего термодатчика"},
    };
    for (const Row& row : rows) {
        this->*row.field = makeField(this, row.fieldName, {kFieldLeft, row.top});
        dialogs::makeLabel(this, row.labelName, QString::fromUtf8(row.text),
                           {kLabelLeft, row.labelTop, row.labelWidth, kLabelHeight}, kFieldFontPx);
    }
}

void TForm2::buildSwitches() {
    CheckBox2 = makeSwitch<QCheckBox>(this, "CheckBox2",
                                      QStringLiteral(" автоматическое включение вентилятора"),
                                      {8, 223, 281, 20});
    Edit3 = makeField(this, "Edit3", {295, 223});
    Label11 = dialogs::makeLabel(this, "Label11", QStringLiteral("температура включения"),
                                 {422, 226, 311, kLabelHeight}, kFieldFontPx);
    CheckBox1 = makeSwitch<QCheckBox>(this, "CheckBox1",
                                      QStringLiteral(" показывать значения профиля на главной"),
                                      {8, 249, 289, 20});
    CheckBox3 = makeSwitch<QCheckBox>(
        this, "CheckBox3", QStringLiteral(" автоматический старт от станции"), {303, 249, 289, 20});
    RadioButton1 = makeSwitch<QRadioButton>(this, "RadioButton1",
                                            QStringLiteral("  прошивка от QMR"), {8, 275, 217, 20});
    RadioButton2 = makeSwitch<QRadioButton>(
        this, "RadioButton2", QStringLiteral("  проприетарная прошивка"), {8, 301, 217, 20});
    // Checking one variant clears the other; until the file names one, neither is checked.
    m_firmwareGroup = new QButtonGroup(this);
    m_firmwareGroup->setExclusive(true);
    m_firmwareGroup->addButton(RadioButton1);
    m_firmwareGroup->addButton(RadioButton2);
}

void TForm2::buildButtons() {
    SaveForms =
        dialogs::makeButton(this, "SaveForms", QStringLiteral("Сохранить"), {371, 311, 100, 20});
    CloseForm =
        dialogs::makeButton(this, "CloseForm", QStringLiteral("Выйти"), {477, 311, 100, 20});
    connect(SaveForms, &QPushButton::clicked, this, &TForm2::SaveFormsClick);
    connect(CloseForm, &QPushButton::clicked, this, &TForm2::CloseFormClick);
}

void TForm2::chainTabOrder() {
    QWidget* const order[] = {EditP2,  EditpGain, EditiGain,    EditdGain,    EditTpid,
                              EditpBH, EditkBH,   EditP1,       SaveForms,    CloseForm,
                              Edit1,   Edit2,     RadioButton1, RadioButton2, CheckBox1,
                              Edit3,   CheckBox2, CheckBox3};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm2::onShown() {
    console::runHandler(this, [this] { FormCreate(); });
}

void TForm2::FormCreate() {
    const config::SettingsFile ini;
    const auto read = [&ini](const char* key) {
        return ini.ReadInteger(kSectionGlobal, QLatin1String(key), 0);
    };
    for (const Number& number : kNumbers)
        (this->*number.field)->setText(QString::number(read(number.key)));

    const std::int32_t hex = read("Hex");
    if (hex == kHexQmr)
        RadioButton1->setChecked(true);
    else if (hex == kHexProprietary)
        RadioButton2->setChecked(true);

    applyFlag(CheckBox1, read("VisibleProfil"));
    applyFlag(CheckBox2, read("EnableFan"));
    Edit3->setText(QString::number(read("TempEnableFan")));
    applyFlag(CheckBox3, read("AutoStart"));
}

void TForm2::SaveFormsClick() {
    console::runHandler(this, [this] { save(); });
}

void TForm2::CloseFormClick() {
    close();
}

void TForm2::save() {
    // Every number is converted before the first write, so a bad one leaves the file as it was.
    for (const Number& number : kNumbers)
        this->*number.converted = config::textToInt((this->*number.field)->text());
    FEdit3 = config::textToInt(Edit3->text());

    // One change of the file: all fifteen keys or, on a refusal, none.
    config::SettingsFile ini;
    const auto write = [&ini](const char* key, std::int32_t value) {
        ini.WriteInteger(kSectionGlobal, QLatin1String(key), value);
    };
    for (const Number& number : kNumbers)
        write(number.key, this->*number.converted);
    // With neither variant checked (a Hex the file held that names none), Hex stays as it is.
    if (RadioButton1->isChecked())
        write("Hex", kHexQmr);
    if (RadioButton2->isChecked())
        write("Hex", kHexProprietary);
    write("VisibleProfil", flagOf(CheckBox1));
    write("TempEnableFan", FEdit3);
    write("EnableFan", flagOf(CheckBox2));
    write("AutoStart", flagOf(CheckBox3));
    ini.commit();

    // The main window follows what the file now holds, not the buttons.
    const auto read = [&ini](const char* key) {
        return ini.ReadInteger(kSectionGlobal, QLatin1String(key), 0);
    };
    const std::int32_t hex = read("Hex");
    if (hex == kHexQmr) {
        m_form1.SetFirmwareCaption(QStringLiteral("Прошивка от QMR"));
        m_form1.InVisibleSettingPID();
    } else if (hex == kHexProprietary) {
        m_form1.SetFirmwareCaption(QStringLiteral("Прошивка не от QMR"));
        m_form1.VisibleSettingPID();
        // The console cannot talk to this firmware: drop a link that is open.
        if (m_form1.StatusConnect == 1) {
            m_form1.StatusConnect = 0;
            m_form1.KillComm();
        }
    }
    const std::int32_t visibleProfil = read("VisibleProfil");
    if (visibleProfil == kFlagOn)
        m_form1.SetProfileStripVisible(true);
    else if (visibleProfil == kFlagOff)
        m_form1.SetProfileStripVisible(false);

    m_form1.ReadProfil(ini);
    close();
}
