#include "console/Form.h"

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Программа управления инфракрасной паяльной станцией"));
    resize(1008, 710);
}

void TForm1::setDialogs(QDialog* form2, QDialog* form3, QDialog* form4, QDialog* form6) {
    m_form2 = form2;
    m_form3 = form3;
    m_form4 = form4;
    m_form6 = form6;
}
