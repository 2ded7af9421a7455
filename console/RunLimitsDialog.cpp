// SPDX-License-Identifier: GPL-3.0-or-later
// The run limits dialog: four fields, checked and written together on save.
#include "console/RunLimitsDialog.h"

#include "config/SettingsFile.h"
#include "console/ErrorBox.h"
#include "console/RecordOptions.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace console {

namespace {

QLineEdit* field(QWidget* parent, const char* name, const QString& placeholder = {}) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setPlaceholderText(placeholder);
    return edit;
}

} // namespace

RunLimitsDialog::RunLimitsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("RunLimitsDialog"));
    setWindowTitle(QStringLiteral("Допуски прогона"));
    setModal(true);

    const QString none = QStringLiteral("без ограничения");
    m_tolerance = field(this, "EditTolerance");
    m_liquidus = field(this, "EditLiquidus");
    m_maxRise = field(this, "EditMaxRise", none);
    m_minLiquidusSeconds = field(this, "EditMinLiquidusSeconds", none);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Допуск к уставкам, ± °C:"), m_tolerance);
    form->addRow(QStringLiteral("Ликвидус, °C:"), m_liquidus);
    form->addRow(QStringLiteral("Наибольшая скорость нагрева, °C/с:"), m_maxRise);
    form->addRow(QStringLiteral("Наименьшее время выше ликвидуса, с:"), m_minLiquidusSeconds);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* saveButton =
        buttons->addButton(QStringLiteral("Сохранить"), QDialogButtonBox::AcceptRole);
    saveButton->setObjectName(QStringLiteral("ButtonSave"));
    saveButton->setDefault(true);
    QPushButton* closeButton =
        buttons->addButton(QStringLiteral("Выйти"), QDialogButtonBox::RejectRole);
    closeButton->setObjectName(QStringLiteral("ButtonClose"));
    connect(saveButton, &QPushButton::clicked, this, &RunLimitsDialog::saveClicked);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

void RunLimitsDialog::showEvent(QShowEvent* event) {
    load();
    QDialog::showEvent(event);
}

void RunLimitsDialog::load() {
    const config::SettingsFile ini;
    const RunLimitsTexts texts = runLimitsTexts(readRunLimits(ini));
    m_tolerance->setText(texts.tolerance);
    m_liquidus->setText(texts.liquidus);
    m_maxRise->setText(texts.maxRise);
    m_minLiquidusSeconds->setText(texts.minLiquidusSeconds);
}

bool RunLimitsDialog::save() {
    const ParsedRunLimits parsed = parseRunLimits(
        {m_tolerance->text(), m_liquidus->text(), m_maxRise->text(), m_minLiquidusSeconds->text()});
    if (!parsed.limits) {
        showMessage(this, parsed.refusal);
        return false;
    }
    return runHandler(this, [&parsed] {
        config::SettingsFile ini;
        writeRunLimits(ini, *parsed.limits);
    });
}

void RunLimitsDialog::saveClicked() {
    if (save())
        accept();
}

} // namespace console
