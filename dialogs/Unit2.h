// SPDX-License-Identifier: GPL-3.0-or-later
// The general station settings dialog: powers, PID, corrections, fan, auto start, firmware.
#pragma once

#include "console/ModalDialog.h"

#include <array>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TForm1;

class TForm2 : public console::ModalDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1& form1);

    // Loads every Global value into the controls; runs at each showing.
    void FormCreate();
    // Converts all eleven numbers, writes the Global section, updates the main
    // window and closes; a text that does not convert or a refused write ends it
    // with the error box and the dialog stays open.
    void SaveFormsClick();
    void CloseFormClick();

    // The numbers of the last save, as converted from the fields.
    std::int32_t FEditP2 = 0;
    std::int32_t FEditpGain = 0;
    std::int32_t FEditiGain = 0;
    std::int32_t FEditdGain = 0;
    std::int32_t FEditTpid = 0;
    std::int32_t FEditpBH = 0;
    std::int32_t FEditkBH = 0;
    std::int32_t FEditP1 = 0;
    std::int32_t FEdit1 = 0;
    std::int32_t FEdit2 = 0;
    std::int32_t FEdit3 = 0;

protected:
    void onShown() override;

private:
    // A Global number: its field, where its converted value is kept, and its key.
    struct Number {
        QLineEdit* TForm2::*field;
        std::int32_t TForm2::*converted;
        const char* key;
    };
    // The ten numbers written together, in the order they are converted and written.
    static const std::array<Number, 10> kNumbers;

    void buildNumberRows();
    void buildSwitches();
    void buildButtons();
    void chainTabOrder();
    void save();

    TForm1& m_form1;

    QLineEdit* EditP1 = nullptr;
    QLineEdit* EditP2 = nullptr;
    QLineEdit* EditpGain = nullptr;
    QLineEdit* EditiGain = nullptr;
    QLineEdit* EditdGain = nullptr;
    QLineEdit* EditTpid = nullptr;
    QLineEdit* EditpBH = nullptr;
    QLineEdit* EditkBH = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label11 = nullptr;

    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QButtonGroup* m_firmwareGroup = nullptr;

    QPushButton* SaveForms = nullptr;
    QPushButton* CloseForm = nullptr;
};
