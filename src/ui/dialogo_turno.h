#pragma once
// The dialog "Iniciar turno": a user and a password, "Iniciar turno" and
// "Cancelar". A refusal is told in the dialog itself, which stays open with the
// password emptied; an accepted sign-in closes it. It never blocks the event
// loop: the console goes on receiving behind it.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class Turno;

class DialogoTurno : public QDialog {
    Q_OBJECT
public:
    // Signs in through `turno`, which outlives the dialog.
    explicit DialogoTurno(Turno& turno, QWidget* parent = nullptr);

    // "Iniciar turno" pressed: the user and password typed, checked.
    void Aceptar_Click();

protected:
    // Opened again: no message, no password; the keyboard where it is needed.
    void showEvent(QShowEvent* e) override;

private:
    Turno& turno_;
    QLineEdit* usuario_ = nullptr;
    QLineEdit* clave_ = nullptr;
    QLabel* mensaje_ = nullptr;
    QPushButton* aceptar_ = nullptr;
};

} // namespace corvane
