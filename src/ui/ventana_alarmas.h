#pragma once
// The alarm window ("Alarmas"): every new alarm that this workstation receives
// (fire, panic, medical, burglary), newest first, those still unacknowledged on
// top and marked. An alarm brings the window to the front and sets the sound
// going; it repeats while any alarm is unacknowledged. "Reconocer" acknowledges
// the selected alarm, "Reconocer todas" every one. At load it lists the alarms
// that this workstation left unacknowledged, and shows itself if there are any.
// Closing it only hides it.

#include <QWidget>

#include <vector>

#include "consola/registro_alarmas.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvane {

class Sirena;

// The button that opens the window tells how many alarms wait: "Alarmas (N)" in
// the alert colour, or "Alarmas" when none does.
void contar_alarmas(QPushButton& boton, int sinReconocer);

class VentanaAlarmas : public QWidget {
    Q_OBJECT
public:
    // The alarms of the event database in slot 0 of `bases`, received by the
    // workstation `puesto`; moments from `reloj`.
    VentanaAlarmas(ConjuntoBases& bases, const Reloj& reloj, const QString& puesto,
                   QWidget* parent = nullptr);
    ~VentanaAlarmas() override;

    // The sound; null: none. It is told at once whether alarms wait.
    void ponerSirena(Sirena* sirena);

    // New alarms, the rows that the receive handler stored.
    void recibir(const std::vector<FilaEvento>& filas);

    // With a central server: the alarm table changed (another workstation stored
    // or acknowledged alarms); the list is read again, and an alarm not listed
    // before brings the window to the front and sets the sound going.
    void refrescar();

    // Shows the window (restored if minimised) in front of the others, and gives
    // it the keyboard when `activar`.
    void traerAlFrente(bool activar = true);

    // 0: "Reconocer" (the selected alarm); 1: "Reconocer todas"; others: nothing.
    void Command1_Click(int indice);

    const RegistroAlarmas& registro() const { return registro_; }

Q_SIGNALS:
    // The number of unacknowledged alarms changed.
    void cambio(int sinReconocer);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void construir();
    void Form_Load();
    void mostrarTodas();
    QTreeWidgetItem* elemento(const Alarma& a) const;
    void avisar();

    static constexpr int kReintentoMs = 1000;
    RegistroAlarmas registro_;
    Sirena* sirena_ = nullptr;
    bool mostrada_ = false;
    QTreeWidget* lista_ = nullptr;
    QPushButton* command1_[2] = {nullptr, nullptr};
};

} // namespace corvane
