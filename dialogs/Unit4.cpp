// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/Unit4.h"

#include "config/SettingsFile.h"
#include "console/ErrorBox.h"
#include "console/Form.h"
#include "dialogs/Controls.h"
#include "dialogs/PortList.h"
#include "link/LineSpeeds.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <utility>

using dialogs::kDialogFontPx;
using dialogs::kFieldFontPx;

namespace {

const QString kSectionConnect = QStringLiteral("Connect");
const QString kKeyComport = QStringLiteral("Comport");
const QString kKeyBaudRate = QStringLiteral("BaudRate");

// The fixed port names come first; device entries follow them.
constexpr int kFixedPorts = 6;

QComboBox* makeList(QWidget* parent, const char* name, const QStringList& items, QRect geometry) {
    auto* list = new QComboBox(parent);
    dialogs::place(list, name, geometry, kFieldFontPx);
    list->setEditable(false);
    list->addItems(items);
    // Adding items selects the first one; the lists start with no choice.
    list->setCurrentIndex(-1);
    return list;
}

// The speeds a connect accepts, as the list shows them.
QStringList speedItems() {
    QStringList items;
    for (const std::int32_t speed : station::kLineSpeeds)
        items << QString::number(speed);
    return items;
}

// Selects the item whose text (a device entry's path) equals the stored value
// exactly; the value is read afresh for each item, as the file may be edited from
// outside.
void selectStored(QComboBox* list, const config::SettingsFile& ini, const QString& key) {
    for (int i = 0; i < list->count(); ++i) {
        if (ini.ReadString(kSectionConnect, key, QString()) ==
            dialogs::pathOfItemText(list->itemText(i)))
            list->setCurrentIndex(i);
    }
}

} // namespace

TForm4::TForm4(TForm1& form1, station::DeviceEnumerator devices)
    : ModalDialog(QStringLiteral("Настройки соединения"), QSize(275, 97), false, &form1),
      m_form1(form1), m_devices(std::move(devices)) {
    setFont(dialogs::tahoma(kDialogFontPx));

    ComboBox1 = makeList(this, "ComboBox1",
                         {QStringLiteral("Com1"), QStringLiteral("Com2"), QStringLiteral("Com3"),
                          QStringLiteral("Com4"), QStringLiteral("Com5"), QStringLiteral("Com6")},
                         {10, 8, 100, 24});
    // "сом" is spelt in Cyrillic letters.
    dialogs::makeLabel(this, "Label1", QStringLiteral("  номер сом порта"), {135, 8, 114, 19},
                       kFieldFontPx);
    ComboBox2 = makeList(this, "ComboBox2", speedItems(), {10, 41, 100, 24});
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

#ifndef Q_OS_WIN
    // A device entry is wider than the closed list, which cuts it short.
    connect(ComboBox1, &QComboBox::currentIndexChanged, this,
            [this] { ComboBox1->setToolTip(ComboBox1->currentText()); });
#endif
}

void TForm4::onShown() {
    console::runHandler(this, [this] { FormCreate(); });
}

void TForm4::ReadParameters() {
    const config::SettingsFile ini;
#ifndef Q_OS_WIN
    listDevices(ini.ReadString(kSectionConnect, kKeyComport, QString()));
#endif
    selectStored(ComboBox1, ini, kKeyComport);
    selectStored(ComboBox2, ini, kKeyBaudRate);
}

// Lists the devices present now after the fixed names (an adapter plugged in since
// the last showing appears, one pulled out goes). A device left chosen stays chosen
// while it is listed.
void TForm4::listDevices(const QString& stored) {
    const bool deviceChosen = ComboBox1->currentIndex() >= kFixedPorts;
    const QString chosen =
        deviceChosen ? dialogs::pathOfItemText(ComboBox1->currentText()) : QString();
    if (deviceChosen)
        ComboBox1->setCurrentIndex(-1);
    while (ComboBox1->count() > kFixedPorts)
        ComboBox1->removeItem(kFixedPorts);

    const QList<station::SerialDevice> present =
        m_devices ? m_devices() : QList<station::SerialDevice>();
    for (const dialogs::PortItem& item : dialogs::deviceItems(
             present, stored, dialogs::storedTarget(stored), station::probeDevice(stored))) {
        ComboBox1->addItem(item.text());
        if (deviceChosen && item.path == chosen)
            ComboBox1->setCurrentIndex(ComboBox1->count() - 1);
    }
    fitPopupToItems();
}

// The open list is as wide as its longest entry, however narrow the closed one is.
void TForm4::fitPopupToItems() {
    QAbstractItemView* popup = ComboBox1->view();
    const int frame = 2 * popup->frameWidth();
    const int scrollBar = popup->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, popup);
    popup->setMinimumWidth(popup->sizeHintForColumn(0) + frame + scrollBar);
}

void TForm4::SaveFormsClick() {
    console::runHandler(this, [this] { save(); });
}

void TForm4::CloseFormClick() {
    close();
}

void TForm4::save() {
    config::SettingsFile ini;
    // Both as text, the port first, in one change of the file; a list without a
    // choice gives the empty text. A device entry stores its path, without the description.
    const QString port = dialogs::pathOfItemText(ComboBox1->currentText());
    ini.WriteString(kSectionConnect, kKeyComport, port);
    ini.WriteString(kSectionConnect, kKeyBaudRate, ComboBox2->currentText());
    ini.commit();
    m_form1.SetConnectionLabels(port, ComboBox2->currentText());
    close();
}
