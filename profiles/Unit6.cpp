// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/Unit6.h"

#include "config/IntegerText.h"
#include "config/SettingsFile.h"
#include "console/ErrorBox.h"
#include "console/Fonts.h"
#include "console/Form.h"
#include "profiles/LimitedEdit.h"
#include "profiles/Unit5.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr QSize kClientSize(679, 334);

constexpr int kFontPx = 11;       // the window's own text
constexpr int kFontPxMedium = 13; // headers and row numbers

// The keys of one profile in the order of the table's columns.
constexpr std::array<const char*, TForm6::kValueCount> kValueKeys = {"T0", "TB", "T1",
                                                                     "S1", "T3", "S3"};
constexpr std::array<int, TForm6::kValueCount> kValueLefts = {333, 386, 440, 493, 545, 598};
const QString kNameKey = QStringLiteral("Name");

constexpr int kHeaderTop = 5;
constexpr int kRowHeight = 21;
constexpr int kRowPitch = 27;
constexpr int kFirstRowTop = 32;   // fields and buttons
constexpr int kFirstLabelTop = 31; // row numbers sit a pixel higher
constexpr int kValueWidth = 50;
constexpr int kNameLeft = 29;
constexpr int kNameWidth = 298;
constexpr int kProfileButtonLeft = 650;
constexpr int kProfileButtonWidth = 24;

// What the operator may type; the program may put in more.
constexpr int kValueTypingLimit = 3;
constexpr int kNameTypingLimit = 30;

// Field and control numbering of the table.
int valueFieldNumber(int profile, int key) {
    return TForm6::kValueCount * profile + key + 1; // Edit1..Edit60
}
int nameFieldNumber(int profile) {
    return 61 + profile; // Edit61..Edit70
}
int profileButtonNumber(int profile) {
    return 3 + profile; // Button3..Button12
}
int rowLabelNumber(int profile) {
    return profile < 7 ? profile + 1 : profile + 2; // Label1..Label7, Label9..Label11
}

QString numbered(const char* kind, int number) {
    return QLatin1String(kind) + QString::number(number);
}

QString sectionOf(int profile) {
    return numbered("Profil", profile);
}

QLabel* makeLabel(QWidget* parent, const QString& name, QRect geometry, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(console::tahoma(kFontPxMedium));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, int number, QRect geometry, int typingLimit) {
    auto* edit = new profiles::LimitedEdit(typingLimit, parent);
    edit->setObjectName(numbered("Edit", number));
    edit->setGeometry(geometry);
    return edit;
}

QPushButton* makeButton(QWidget* parent, const QString& name, QRect geometry, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false); // Enter in a field saves nothing
    return button;
}

} // namespace

TForm6::TForm6(TForm1& form1, TForm5& form5)
    : ModalDialog(QStringLiteral("Редактор профилей"), kClientSize, false, &form1), m_form1(form1),
      m_form5(form5) {
    setFont(console::tahoma(kFontPx));

    buildHeaders();
    buildRows();
    buildButtons();
    orderTabs();
    bindHandlers();
    m_form5.setEditor(*this);
}

void TForm6::buildHeaders() {
    makeLabel(this, QStringLiteral("Label18"), {45, kHeaderTop, 276, kRowHeight},
              QStringLiteral("Наименование профиля"));
    for (int key = 0; key < kValueCount; ++key)
        makeLabel(this, numbered("Label", 12 + key),
                  {kValueLefts[key], kHeaderTop, kValueWidth, kRowHeight},
                  QLatin1String(kValueKeys[key]));
}

void TForm6::buildRows() {
    for (int p = 0; p < kProfileCount; ++p) {
        const int top = kFirstRowTop + kRowPitch * p;
        QLabel* label =
            makeLabel(this, numbered("Label", rowLabelNumber(p)),
                      {0, kFirstLabelTop + kRowPitch * p, 23, kRowHeight}, QString::number(p));
        QFont quality = label->font();
        quality.setStyleStrategy(QFont::PreferQuality);
        label->setFont(quality);

        m_nameFields[p] = makeEdit(this, nameFieldNumber(p),
                                   {kNameLeft, top, kNameWidth, kRowHeight}, kNameTypingLimit);
        for (int key = 0; key < kValueCount; ++key)
            m_valueFields[p][key] =
                makeEdit(this, valueFieldNumber(p, key),
                         {kValueLefts[key], top, kValueWidth, kRowHeight}, kValueTypingLimit);
        m_profileButtons[p] = makeButton(this, numbered("Button", profileButtonNumber(p)),
                                         {kProfileButtonLeft, top, kProfileButtonWidth, kRowHeight},
                                         QStringLiteral("?"));
    }
}

void TForm6::buildButtons() {
    Button1 = makeButton(this, QStringLiteral("Button1"), {443, 306, 100, 20},
                         QStringLiteral("Сохранить"));
    Button2 =
        makeButton(this, QStringLiteral("Button2"), {549, 306, 100, 20}, QStringLiteral("Выйти"));
}

// The sixty values row by row, the two buttons, the "?" buttons, then the names.
void TForm6::orderTabs() {
    QList<QWidget*> order;
    for (const auto& row : m_valueFields)
        for (QLineEdit* field : row)
            order << field;
    order << Button1 << Button2;
    for (QPushButton* button : m_profileButtons)
        order << button;
    for (QLineEdit* field : m_nameFields)
        order << field;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void TForm6::bindHandlers() {
    // Every handler runs behind the one boundary that turns an error into the error box.
    auto guarded = [this](auto body) {
        return [this, body] {
            console::runHandler(this, body);
        };
    };
    connect(Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    for (int p = 0; p < kProfileCount; ++p)
        connect(m_profileButtons[p], &QPushButton::clicked, this,
                guarded([this, p] { ProfileButtonClick(p); }));
}

void TForm6::onShown() {
    console::runHandler(this, [this] { FormActivate(); });
}

TForm6::ValueTexts TForm6::valueTexts(int profile) const {
    ValueTexts texts;
    for (int key = 0; key < kValueCount; ++key)
        texts[key] = m_valueFields.at(profile)[key]->text();
    return texts;
}

QString TForm6::nameText(int profile) const {
    return m_nameFields.at(profile)->text();
}

void TForm6::setValueTexts(int profile, const ValueTexts& texts) {
    for (int key = 0; key < kValueCount; ++key)
        m_valueFields.at(profile)[key]->setText(texts[key]);
}

void TForm6::FormActivate() {
    const config::SettingsFile ini;
    for (int p = 0; p < kProfileCount; ++p) {
        const QString section = sectionOf(p);
        for (int key = 0; key < kValueCount; ++key)
            m_valueFields[p][key]->setText(
                QString::number(ini.ReadInteger(section, QLatin1String(kValueKeys[key]), 0)));
        m_nameFields[p]->setText(ini.ReadString(section, kNameKey, QString()));
    }
}

void TForm6::Button1Click() {
    // Converting everything before the first write keeps a bad field from
    // leaving the file with a profile that is half new and half old. The first
    // field that fails, in table order, is the one reported.
    std::array<std::array<std::int32_t, kValueCount>, kProfileCount> values{};
    for (int p = 0; p < kProfileCount; ++p)
        for (int key = 0; key < kValueCount; ++key)
            values[p][key] = config::textToInt(m_valueFields[p][key]->text());

    // All seventy keys in one change of the file, or none of them.
    config::SettingsFile ini;
    for (int p = 0; p < kProfileCount; ++p) {
        const QString section = sectionOf(p);
        for (int key = 0; key < kValueCount; ++key)
            ini.WriteInteger(section, QLatin1String(kValueKeys[key]), values[p][key]);
        ini.WriteString(section, kNameKey, m_nameFields[p]->text());
    }
    ini.commit();
    m_form1.ReadProfil(ini);
    accept();
}

void TForm6::Button2Click() {
    reject();
}

void TForm6::ProfileButtonClick(int profile) {
    SendProfil = profile;
    m_form5.exec(); // its "Сохранить" has already put its texts into the row; nothing to reload
}
