// The main window: the operator's console (placeholder until the console lands).
#pragma once

#include <QMainWindow>

class QDialog;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    // The dialogs the menu and Button2 open; they are created after the main window.
    void setDialogs(QDialog* form2, QDialog* form3, QDialog* form4, QDialog* form6);

private:
    QDialog* m_form2 = nullptr;
    QDialog* m_form3 = nullptr;
    QDialog* m_form4 = nullptr;
    QDialog* m_form6 = nullptr;
};
