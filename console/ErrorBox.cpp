// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/ErrorBox.h"

#include "config/Errors.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace console {

namespace {

QString withFullStop(const QString& message) {
    return message.endsWith(QLatin1Char('.')) ? message : message + QLatin1Char('.');
}

} // namespace

void showError(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, QCoreApplication::applicationName(), withFullStop(message));
}

void showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

bool runHandler(QWidget* parent, const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const config::AppError& e) {
        showError(parent, e.message());
    } catch (const std::exception& e) {
        // Not ours, but still never allowed into the event loop.
        showError(parent, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace console
