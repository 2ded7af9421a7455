#include "dialogs/Unit4.h"

#include "config/SettingsFile.h"
#include "console/ErrorBox.h"
#include "console/Form.h"
#include "dialogs/Controls.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using dialogs::kDialogFontPx;
using dialogs::kFieldFontPx;

namespace {

const QString kSectionConnect = QStringLiteral("Connect");
const QString kKeyComport = QStringLiteral("Comport");
const QString kKeyBaudRate = QStringLiteral("BaudRate");

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& items, QRect geometry) {
    auto* list = new QComboBox(parent);
    dialogs::place(list, name, geometry, kFieldFontPx);
    list->setEditable(false);
    list->addItems(items);
    // Adding items selects the first one; the lists start with no choice.
    list->setCurrentIndex(-1);
    return list;
}

// Selects the item whose text equals the stored value exactly; the value is
// read afresh for each item, as the file may be edited from outside.
void selectStored(QComboBox* list, const config::SettingsFile& ini, const QString& key) {
    for (int i = 0; i < list->count(); ++i) {
        if (ini.ReadString(kSectionConnect, key, QString()) == list->itemText(i))
            list->setCurrentIndex(i);
    }
}

} // namespace

TForm4::TForm4(TForm1& form1)
    : ModalDialog(QStringLiteral("Настройки соединения"), QSize(275, 97), false, &form1),
      m_form1(form1) {
    setFont(dialogs::tahoma(kDialogFontPx));

    ComboBox1 = makeList(this, "ComboBox1",
                         {QStringLiteral("Com1"), QStringLiteral("Com2"), QStringLiteral("Com3"),
                          QStringLiteral("Com4"), QStringLiteral("Com5"), QStringLiteral("Com6")},
                         {10, 8, 100, 24});
    // "сом" is spelt in Cyrillic letters.
    dialogs::makeLabel(this, "Label1", QStringLiteral("  номер сом порта"), {135, 8, 114, 19},
                       kFieldFontPx);
    ComboBox2 = makeList(this, "ComboBox2",
                         {QStringLiteral("9600"), QStringLiteral("14400"), QStringLiteral("19200"),
                          QStringLiteral("28800"), QStringLiteral("38400"), QStringLiteral("57600"),
                          QStringLiteral("115200")},
                         {10, 41, 100, 24});
    dialogs::makeLabel(this, "Label2", QStringLiteral("  скорость обмена"), {133, 41, 116, 19},
                       kFieldFontPx);

    SaveForms =
        dialogs::makeButton(this, "SaveForms", QStringLiteral("Сохранить"), {29, 71, 100, 20});
    CloseForm = dialogs::makeButton(this, "CloseForm", QStringLiteral("Выйти"), {146, 71, 100, 20});
    connect(SaveForms, &QPushButton::clicked, this, &TForm4::SaveFormsClick);
    connect(CloseForm, &QPushButton::clicked, this, &TForm4::CloseFormClick);

    QWidget::setTabOrder(SaveForms, CloseForm);
    QWidget::setTabOrder(CloseForm, ComboBox1);
    QWidget::setTabOrder(ComboBox1, ComboBox2);
}

void TForm4::onShown() {
    console::runHandler(this, [this] { FormCreate(); });
}

void TForm4::ReadParameters() {
    const config::SettingsFile ini;
    selectStored(ComboBox1, ini, kKeyComport);
    selectStored(ComboBox2, ini, kKeyBaudRate);
}

void TForm4::SaveFormsClick() {
    console::runHandler(this, [this] { save(); });
}

void TForm4::CloseFormClick() {
    close();
}

void TForm4::save() {
    {
        config::SettingsFile ini;
        // Both as text, the port first; a list without a choice gives the empty text.
        ini.WriteString(kSectionConnect, kKeyComport, ComboBox1->currentText());
        ini.WriteString(kSectionConnect, kKeyBaudRate, ComboBox2->currentText());
        m_form1.SetConnectionLabels(ComboBox1->currentText(), ComboBox2->currentText());
    }
    close();
}
