// SPDX-License-Identifier: GPL-3.0-or-later
// What the profile-editing tests share: a started main window, the editor and its row dialog.
#pragma once

#include "console/Form.h"
#include "profiles/Unit5.h"
#include "profiles/Unit6.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QLineEdit;
class QPushButton;

namespace profilestest {

// Profile 0 as the main window shows it at start-up; profile 3 with the value
// forms a hand-edited file may hold (hex, malformed, four digits, negative) and
// a name with commas. The other profiles are absent.
extern const QByteArray kStoredProfiles;

// The windows of profile editing, built in the application's order: the main
// window (started, so that its first activation has run), the single-profile
// dialog, the editor.
class ProfileWindows {
public:
    ProfileWindows();
    ~ProfileWindows();

    TForm1& form1() { return *m_form1; }
    TForm5& form5() { return *m_form5; }
    TForm6& form6() { return *m_form6; }

    // Named children; a missing one fails the test and gives null.
    QLineEdit* editorField(int number) const; // Edit<number> of the editor
    QPushButton* editorButton(int number) const;
    QString mainText(const char* name) const; // a label or edit field of the main window

    // The texts of Edit1..Edit70 in that order.
    QStringList editorTexts() const;
    void setEditorTexts(const QStringList& texts);

    // Shows the editor the way a modal opening does, without blocking the test.
    void showEditor();

    // Presses row `profile`'s "?" button; `whileOpen` runs while the
    // single-profile dialog is up, then the dialog's button `leaveWith`
    // ("SaveForms" or "CloseForm") is pressed.
    void withRowDialog(int profile, const std::function<void(TForm5&)>& whileOpen,
                       const char* leaveWith);

private:
    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TForm5> m_form5;
    std::unique_ptr<TForm6> m_form6;
};

// Edit number of profile p's value k (T0 = 0 .. S3 = 5) and of its name.
constexpr int valueField(int profile, int key) {
    return 6 * profile + key + 1;
}
constexpr int nameField(int profile) {
    return 61 + profile;
}

} // namespace profilestest
