// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/profiles/ProfilesFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace profilestest {

const QByteArray kStoredProfiles = R"([Profil0]
T0=180
TB=150
T1=160
S1=60
T3=235
S3=30
Name=Бессвинцовый BGA
[Profil3]
T0=0x1F
TB=$1F
T1=abc
S1=1000
T3=-5
Name=BGA, малый, 2 слоя
)";

namespace {

template <typename T> T* named(const QObject& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    if (!found)
        QTest::qFail(qPrintable(QStringLiteral("no control ") + name), __FILE__, __LINE__);
    return found;
}

} // namespace

ProfileWindows::ProfileWindows() {
    m_form1 = std::make_unique<TForm1>();
    m_form1->show();
    // The main window's first activation is the only thing that captions Works.
    const auto* works = m_form1->findChild<QLabel*>(QStringLiteral("Works"));
    if (!QTest::qWaitFor([&] { return works && !works->text().isEmpty(); }, 10000))
        QTest::qFail("the main window's start-up initialisation did not run", __FILE__, __LINE__);
    m_form5 = std::make_unique<TForm5>(m_form1.get());
    m_form6 = std::make_unique<TForm6>(*m_form1, *m_form5);
}

ProfileWindows::~ProfileWindows() {
    m_form6.reset();
    m_form5.reset();
    m_form1.reset();
}

QLineEdit* ProfileWindows::editorField(int number) const {
    return named<QLineEdit>(*m_form6, QStringLiteral("Edit") + QString::number(number));
}

QPushButton* ProfileWindows::editorButton(int number) const {
    return named<QPushButton>(*m_form6, QStringLiteral("Button") + QString::number(number));
}

QString ProfileWindows::mainText(const char* name) const {
    const QString objectName = QLatin1String(name);
    if (const auto* label = m_form1->findChild<QLabel*>(objectName))
        return label->text();
    if (const auto* edit = m_form1->findChild<QLineEdit*>(objectName))
        return edit->text();
    QTest::qFail(qPrintable(QStringLiteral("no control ") + objectName), __FILE__, __LINE__);
    return {};
}

QStringList ProfileWindows::editorTexts() const {
    QStringList texts;
    for (int number = 1; number <= 70; ++number)
        if (const QLineEdit* field = editorField(number))
            texts << field->text();
    return texts;
}

void ProfileWindows::setEditorTexts(const QStringList& texts) {
    for (int number = 1; number <= texts.size(); ++number)
        if (QLineEdit* field = editorField(number))
            field->setText(texts[number - 1]);
}

void ProfileWindows::showEditor() {
    m_form6->show();
    if (!m_form6->isVisible())
        QTest::qFail("the editor did not show", __FILE__, __LINE__);
}

void ProfileWindows::withRowDialog(int profile, const std::function<void(TForm5&)>& whileOpen,
                                   const char* leaveWith) {
    bool wasOpen = false;
    QTimer::singleShot(0, m_form5.get(), [&] {
        wasOpen = m_form5->isVisible();
        if (!wasOpen)
            return;
        whileOpen(*m_form5);
        if (QPushButton* leave = named<QPushButton>(*m_form5, QLatin1String(leaveWith)))
            leave->click();
        if (m_form5->isVisible())
            m_form5->reject(); // never leave the test hanging in the dialog's loop
    });
    if (QPushButton* question = editorButton(3 + profile))
        question->click(); // returns when the dialog has closed
    if (!wasOpen)
        QTest::qFail("the single-profile dialog did not open", __FILE__, __LINE__);
}

} // namespace profilestest
