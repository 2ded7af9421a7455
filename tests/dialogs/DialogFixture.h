// SPDX-License-Identifier: GPL-3.0-or-later
// What the settings-dialog tests share: a started console, its controls, the file's lines, a modal
// run.
#pragma once

#include "console/Form.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <memory>

class QDialog;

namespace dialogtest {

// Builds the main window, shows it and waits until its first activation has
// run the start-up initialisation. Null (with a test failure) if it never did.
std::unique_ptr<TForm1> startConsole();

// A named child; null (with a warning naming it) when there is none.
template <typename T> T* control(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qWarning("no control %s", name);
    return found;
}

// The text a label, edit field or button shows.
QString textOf(const QObject& window, const char* name);

// Whether the named child would be seen while its window is.
bool shownIn(const QWidget& window, const char* name);

// The settings file's non-empty lines, in file order; empty when there is no file.
QStringList settingsLines(const QByteArray& bytes);

// Calls `open` (a menu item or button that shows `dialog` modally) and runs `whileOpen`
// inside the dialog's modal run; a dialog still open after `whileOpen` is ended
// there. Returns when the modal run is over: whether the dialog was the active
// modal window when `whileOpen` began.
bool duringModalRun(const std::function<void()>& open, QDialog* dialog,
                    const std::function<void()>& whileOpen);

} // namespace dialogtest
