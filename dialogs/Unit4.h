// SPDX-License-Identifier: GPL-3.0-or-later
// The connection settings dialog: port and speed for the next connect.
#pragma once

#include "console/ModalDialog.h"
#include "link/SerialDevices.h"

class QComboBox;
class QPushButton;
class TForm1;

class TForm4 : public console::ModalDialog {
    Q_OBJECT
public:
    // `devices` tells which serial devices are present; it is asked at each showing.
    explicit TForm4(TForm1& form1,
                    station::DeviceEnumerator devices = station::systemSerialDevices);

    // Selects the stored port and speed in the two lists; a stored text that
    // equals no item (letter case counts) leaves that list as it was.
    void ReadParameters();
    // Runs at each showing.
    void FormCreate() { ReadParameters(); }
    // Writes both choices (empty when none), shows them on the main window and
    // closes. An open connection keeps its old settings until the next connect.
    void SaveFormsClick();
    void CloseFormClick();

protected:
    void onShown() override;

private:
    void save();
    void listDevices(const QString& stored);
    void fitPopupToItems();

    TForm1& m_form1;
    station::DeviceEnumerator m_devices;

    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QPushButton* SaveForms = nullptr;
    QPushButton* CloseForm = nullptr;
};
