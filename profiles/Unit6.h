// SPDX-License-Identifier: GPL-3.0-or-later
// The profile editor: all ten profiles in one table, saved together.
#pragma once

#include "console/ModalDialog.h"

#include <QString>

#include <array>
#include <cstdint>

class QLineEdit;
class QPushButton;
class TForm1;
class TForm5;

class TForm6 : public console::ModalDialog {
    Q_OBJECT
public:
    static constexpr int kProfileCount = 10;
    static constexpr int kValueCount = 6; // T0, TB, T1, S1, T3, S3
    using ValueTexts = std::array<QString, kValueCount>;

    // The single-profile dialog edits rows of this editor; it is created first.
    TForm6(TForm1& form1, TForm5& form5);

    // The row whose "?" button was pressed last; the single-profile dialog reads it.
    std::int32_t SendProfil = 0;

    // One row of the table as the single-profile dialog sees it: the six value
    // texts in key order, and the name. Only the values are ever replaced.
    ValueTexts valueTexts(int profile) const;
    QString nameText(int profile) const;
    void setValueTexts(int profile, const ValueTexts& texts);

    // Loads every field from the settings file; runs at each showing.
    void FormActivate();
    // "Сохранить": all seventy values convert first, then all ten profiles are
    // written, the main window reloads its profile and the editor closes.
    void Button1Click();
    // "Выйти": closes without writing; the next showing loads the file again.
    void Button2Click();
    // "?" of row `profile` (Button3..Button12): that row in the single-profile dialog.
    void ProfileButtonClick(int profile);

protected:
    void onShown() override;

private:
    void buildHeaders();
    void buildRows();
    void buildButtons();
    void orderTabs();
    void bindHandlers();

    TForm1& m_form1;
    TForm5& m_form5;

    // Edit1..Edit60 row by row, Edit61..Edit70, Button3..Button12.
    std::array<std::array<QLineEdit*, kValueCount>, kProfileCount> m_valueFields{};
    std::array<QLineEdit*, kProfileCount> m_nameFields{};
    std::array<QPushButton*, kProfileCount> m_profileButtons{};

    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};
