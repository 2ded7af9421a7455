// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/Unit5.h"

#include "console/ErrorBox.h"
#include "console/Fonts.h"
#include "console/TextField.h"
#include "profiles/Unit6.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr QSize kClientSize(466, 198);

constexpr int kFontPx = 11;       // the window's own text
constexpr int kFontPxMedium = 13; // fields and descriptions

constexpr int kFieldLeft = 14;
constexpr int kFieldWidth = 121;
constexpr int kLabelLeft = 141;
constexpr int kLabelWidth = 316;
constexpr int kRowHeight = 20;
constexpr int kFirstTop = 5;
constexpr int kRowPitch = 26;

// The key codes at the start are Latin; the letter before 1 and 3 near the end
// of the two hold-time captions is the Cyrillic Te (U+0422).
const std::array<QString, 6> kCaptions = {
    QStringLiteral("  T0 температура включения верхнего нагревателя"),
    QStringLiteral("  TB температура нижнего нагревателя"),
    QStringLiteral("  T1 температура активации флюса"),
    QStringLiteral("  S1 время выдержки при температуре \u04221 (секунд)"),
    QStringLiteral("  T3 температура верхнего нагревателя"),
    QStringLiteral("  S3 время выдержки при температуре \u04223 (секунд)"),
};

QPushButton* makeButton(QWidget* parent, const char* name, QRect geometry, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false); // Enter in a field copies nothing back
    return button;
}

} // namespace

TForm5::TForm5(QWidget* parent) : ModalDialog(QString(), kClientSize, false, parent) {
    setFont(console::tahoma(kFontPx));

    SaveForms = makeButton(this, "SaveForms", {251, 169, 100, 20}, QStringLiteral("Сохранить"));
    CloseForm = makeButton(this, "CloseForm", {357, 169, 100, 20}, QStringLiteral("Выйти"));

    for (int i = 0; i < kFieldCount; ++i) {
        const int top = kFirstTop + kRowPitch * i;
        const QString number = QString::number(i + 1);

        auto* field = new QLineEdit(this); // no limit: whatever the row holds comes in whole
        console::holdAnyLength(field);
        field->setObjectName(QStringLiteral("Edit") + number);
        field->setGeometry(kFieldLeft, top, kFieldWidth, kRowHeight);
        field->setFont(console::tahoma(kFontPxMedium));
        m_fields[i] = field;

        auto* label = new QLabel(kCaptions[i], this);
        label->setObjectName(QStringLiteral("Label") + number);
        label->setGeometry(kLabelLeft, top, kLabelWidth, kRowHeight);
        label->setFont(console::tahoma(kFontPxMedium));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }

    QWidget::setTabOrder(SaveForms, CloseForm);
    QWidget::setTabOrder(CloseForm, m_fields.front());
    for (int i = 0; i + 1 < kFieldCount; ++i)
        QWidget::setTabOrder(m_fields[i], m_fields[i + 1]);

    connect(SaveForms, &QPushButton::clicked, this,
            [this] { console::runHandler(this, [this] { SaveFormsClick(); }); });
    connect(CloseForm, &QPushButton::clicked, this,
            [this] { console::runHandler(this, [this] { CloseFormClick(); }); });
}

void TForm5::setEditor(TForm6& editor) {
    m_editor = &editor;
}

void TForm5::onShown() {
    console::runHandler(this, [this] { FormActivate(); });
}

void TForm5::FormActivate() {
    if (!m_editor)
        return;
    NP = m_editor->SendProfil;
    const TForm6::ValueTexts texts = m_editor->valueTexts(NP);
    for (int i = 0; i < kFieldCount; ++i)
        m_fields[i]->setText(texts[i]);
    setWindowTitle(QStringLiteral("настройка профиля - ") + QString::number(NP) +
                   QStringLiteral(" (") + m_editor->nameText(NP) + QStringLiteral(")"));
}

void TForm5::SaveFormsClick() {
    if (m_editor) {
        TForm6::ValueTexts texts;
        for (int i = 0; i < kFieldCount; ++i)
            texts[i] = m_fields[i]->text();
        m_editor->setValueTexts(NP, texts);
    }
    accept();
}

void TForm5::CloseFormClick() {
    reject();
}
