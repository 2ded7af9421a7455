// SPDX-License-Identifier: GPL-3.0-or-later
// The one boundary where handler errors become the operator's error box, and the refusal boxes.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace console {

// Runs a handler body; an error of ours that escapes it ends the body there and
// is shown in a critical box titled with the application's name, its text
// followed by a full stop when it has none. Returns false when the body failed.
// Nothing ever propagates into Qt's event loop.
bool runHandler(QWidget* parent, const std::function<void()>& body);

// The critical box itself, for callers that already hold the message.
void showError(QWidget* parent, const QString& message);

// A refusal or warning: modal, one OK button, the fixed text, the application's title.
void showMessage(QWidget* parent, const QString& text);

} // namespace console
