// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/dialogs/DialogFixture.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace dialogtest {

std::unique_ptr<TForm1> startConsole() {
    auto form = std::make_unique<TForm1>();
    form->show();
    const auto* works = form->findChild<QLabel*>(QStringLiteral("Works"));
    // The start-up initialisation is the only thing that puts a caption on Works.
    if (!QTest::qWaitFor([&] { return works && !works->text().isEmpty(); }, 10000)) {
        QTest::qFail("the start-up initialisation did not run", __FILE__, __LINE__);
        return nullptr;
    }
    return form;
}

QString textOf(const QObject& window, const char* name) {
    if (auto* label = window.findChild<QLabel*>(QLatin1String(name)))
        return label->text();
    if (auto* edit = window.findChild<QLineEdit*>(QLatin1String(name)))
        return edit->text();
    if (auto* button = window.findChild<QAbstractButton*>(QLatin1String(name)))
        return button->text();
    return QStringLiteral("<no control %1>").arg(QLatin1String(name));
}

bool shownIn(const QWidget& window, const char* name) {
    const auto* widget = window.findChild<QWidget*>(QLatin1String(name));
    return widget && widget->isVisibleTo(&window);
}

QStringList settingsLines(const QByteArray& bytes) {
    QStringList lines;
    for (const QString& line : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            lines << line;
    }
    return lines;
}

bool duringModalRun(const std::function<void()>& open, QDialog* dialog,
                    const std::function<void()>& whileOpen) {
    bool becameModal = false;
    // Posted before the modal run starts, so it is dispatched by the dialog's own loop.
    QTimer::singleShot(0, dialog, [&] {
        becameModal = QApplication::activeModalWidget() == dialog && dialog->isVisible();
        whileOpen();
        // Whatever the body did (a failed check returns early), the run must end
        // for the test to go on.
        if (dialog->isVisible())
            dialog->done(QDialog::Rejected);
    });
    open();
    return becameModal;
}

} // namespace dialogtest
