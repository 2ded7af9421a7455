// The connection settings dialog: port and speed for the next connect.
#pragma once

#include "console/ModalDialog.h"

class QComboBox;
class QPushButton;
class TForm1;

class TForm4 : public console::ModalDialog {
    Q_OBJECT
public:
    explicit TForm4(TForm1& form1);

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

    TForm1& m_form1;

    QComboBox* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QPushButton* SaveForms = nullptr;
    QPushButton* CloseForm = nullptr;
};
