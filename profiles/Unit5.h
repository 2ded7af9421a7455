// SPDX-License-Identifier: GPL-3.0-or-later
// The single-profile dialog: one row of the profile editor with a description of each value.
#pragma once

#include "console/ModalDialog.h"

#include <array>
#include <cstdint>

class QLineEdit;
class QPushButton;
class TForm6;

class TForm5 : public console::ModalDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    // The editor whose rows this dialog shows; the editor attaches itself when
    // it is created, which is after this dialog.
    void setEditor(TForm6& editor);

    // The profile being edited, taken from the editor's SendProfil at each showing.
    std::int32_t NP = 0;

    // Copies row NP of the editor in and builds the caption; runs at each showing.
    void FormActivate();
    // "Сохранить": the six texts back into the editor's row NP, unchanged; closes.
    void SaveFormsClick();
    // "Выйти": closes; the editor's row keeps its texts.
    void CloseFormClick();

protected:
    void onShown() override;

private:
    static constexpr int kFieldCount = 6;

    TForm6* m_editor = nullptr;
    std::array<QLineEdit*, kFieldCount> m_fields{}; // Edit1..Edit6: T0, TB, T1, S1, T3, S3
    QPushButton* SaveForms = nullptr;
    QPushButton* CloseForm = nullptr;
};
