#pragma once
// The alarm window ("Alarmas"): every new alarm that this workstation receives
// (fire, panic, medical, burglary), newest first, those still unacknowledged on
// top and marked. An alarm brings the window to the front (where it stands) and
// sets the sound going; it repeats while any alarm is unacknowledged, and the
// window asks the window manager for attention meanwhile. "Reconocer"
// acknowledges the selected alarm and names it on the main window's status line;
// "Reconocer todas", once the operator confirms it, the alarms listed when it
// asked. At load it lists the alarms that this workstation left unacknowledged,
// and shows itself if there are any.
//
// A normal window: moved, resized, minimised and closed through the window
// manager; closing it only hides it. Its place and size are kept between starts
// (QSettings "corvane"); the first time it stands in the lower right corner of
// the work area at its minimum size, clear of the main window's port controls,
// search button and the top of its online log. A kept place off the screen is
// brought back on it.
//
// The selection follows the alarm the operator chose, by its key, while alarms
// arrive or the list is read again, and the selected row keeps its place on the
// screen when newer alarms are inserted above it.
//
// An alarm lives from new to acknowledged to closed: the list has the open
// ones (new on top, then in test, then acknowledged) with their state and age
// (updated each second), then the latest closed with their resolution and who
// closed them. The detail pane takes the steps on the chosen alarm (see
// detalle_alarma.h); a refusal is said in a message box. With a central
// server, a refresh shows the steps of every workstation; a closing taken here
// that another workstation's preceded is said once ("La alarma ya está
// cerrada: ...").
//
// Each alarm names its account and the zone as the register describes them
// ("Abonado desconocido" when it holds no such account), and the detail pane
// under the list tells the chosen alarm's account, contacts and instructions.
// An alarm of an account in test (en_pruebas when it was received) is stored
// and listed, greyed, "En pruebas", under those that wait; it neither brings
// the window up, nor sounds, nor counts.

#include <QDateTime>
#include <QLabel>
#include <QWidget>

#include <vector>

#include "consola/registro_alarmas.h"
#include "ui/mensajes_ventana.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvane {

class CatalogoAbonados;
class DetalleAlarma;
class Sirena;
class Turno;

// The button that opens the window tells how many alarms wait: "Alarmas (N)" in
// the alert colour, or "Alarmas" when none does.
void contar_alarmas(QPushButton& boton, int sinReconocer);

// How long ago an open alarm was received: "3 min", "2 h 05 min", "3 d 4 h".
QString antiguedad(const QDateTime& recibida, const QDateTime& ahora);

// The smallest the alarm window gets, in twips (480 × 300 pixels at 96 dpi).
inline constexpr float kAnchoMinimoAlarmas = 7200;
inline constexpr float kAltoMinimoAlarmas = 4500;

// Where the alarm window's place and size are kept: a rectangle whose corner is
// that of the frame and whose size is that of the inside.
inline const QString kClaveGeometriaAlarmas = QStringLiteral("alarmas/geometria");

class VentanaAlarmas : public QWidget {
    Q_OBJECT
public:
    // The alarms of the event database in slot 0 of `bases`, received by the
    // workstation `puesto`; moments from `reloj`; questions through `mensajes`
    // (null: boxes of its own); accounts through `catalogo` (null: no register).
    VentanaAlarmas(ConjuntoBases& bases, const Reloj& reloj, const QString& puesto,
                   CatalogoAbonados* catalogo, CajaMensajes* mensajes = nullptr,
                   QWidget* parent = nullptr);
    // Without the register.
    VentanaAlarmas(ConjuntoBases& bases, const Reloj& reloj, const QString& puesto,
                   CajaMensajes* mensajes = nullptr, QWidget* parent = nullptr)
        : VentanaAlarmas(bases, reloj, puesto, static_cast<CatalogoAbonados*>(nullptr), mensajes,
                         parent) {}
    ~VentanaAlarmas() override;

    // The sound; null: none. It is told at once whether alarms wait, and what
    // keeps it from being heard is shown.
    void ponerSirena(Sirena* sirena);

    // New alarms, the rows that the receive handler stored.
    void recibir(const std::vector<FilaEvento>& filas);

    // The rows the console showed: restores of alarm classes are stored and
    // marked on the open alarms of their account, partition and zone.
    void restaurar(const std::vector<FilaEvento>& filas);

    // With a central server: the alarm table changed (another workstation stored
    // or acknowledged alarms); the list is read again, and an alarm not listed
    // before brings the window to the front and sets the sound going.
    void refrescar();

    // The register changed `cuenta` (empty: any account): the names, the zones'
    // descriptions and the detail are shown again.
    void abonadoCambiado(const QString& cuenta);

    // Shows the window (restored if minimised) in front of the others, where it
    // stands, and gives it the keyboard when `activar`.
    void traerAlFrente(bool activar = true);

    // The shift whose operator acts on the alarms; null: anyone may. While
    // operators exist and nobody is on duty the actions are refused with a
    // message that says so, and the sign-in is asked for (pideTurno).
    // The steps are recorded as the operator on duty's; a supervisor may reopen.
    void ponerTurno(const Turno* turno);
    // Where each step taken here goes in the audit trail.
    void ponerAuditoria(std::function<void(const EntradaAuditoria&)> auditoria) {
        registro_.ponerAuditoria(std::move(auditoria));
    }

    // 0: "Reconocer" (the selected alarm); 1: "Reconocer todas"; others: nothing.
    void Command1_Click(int indice);

    // The key of the selected alarm; empty: none.
    QString seleccionada() const;

    const RegistroAlarmas& registro() const { return registro_; }
    // For the operator on duty and the audit trail.
    RegistroAlarmas& registro() { return registro_; }

Q_SIGNALS:
    // The number of unacknowledged alarms changed.
    void cambio(int sinReconocer);
    // A line for the main window's status line (the alarm just acknowledged).
    void estado(const QString& texto);
    // What keeps the sound from being heard, while it lasts; empty once it ends.
    void sinSonido(const QString& texto);
    // An action was refused for want of an operator on duty.
    void pideTurno();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // The selected alarm and the top of its row in the list's viewport.
    struct Lugar {
        QString clave;
        int arriba = -1; // -1: not on screen
    };

    void construir();
    void Form_Load();
    void disponer();
    void mostrarTodas(const Lugar& lugar);
    Lugar lugar() const;
    void volverA(const Lugar& lugar);
    QTreeWidgetItem* buscar(const QString& clave) const;
    QTreeWidgetItem* elemento(const Alarma& a) const;
    const Alarma* alarma(const QString& clave) const;
    void mostrarDetalle();
    // `siguiente`: the newest alarm left new is chosen next.
    void reconocerSeleccionada(bool siguiente);
    // True when operators exist and nobody is on duty: told, and the sign-in
    // asked for; the step is not taken.
    bool sinTurno();
    void reconocerListadas();
    // After a step of the detail pane: its refusal told, or the lists shown
    // again and `hecho` on the status line.
    void tomarPaso(const QString& rechazo, const QString& hecho);
    void ponerEdades();
    void avisar();
    void mostrarFallaSonido(const QString& falla);
    void colocarPrimeraVez();

    static constexpr int kReintentoMs = 1000;
    ConjuntoBases& bases_;
    const Reloj& reloj_;
    RegistroAlarmas registro_;
    CatalogoAbonados* catalogo_;
    MensajesVentana mensajesPropios_;
    CajaMensajes* mensajes_;
    Sirena* sirena_ = nullptr;
    const Turno* turno_ = nullptr;
    bool mostrada_ = false;
    bool restaurada_ = false;
    QLabel* sonido_ = nullptr;
    QTreeWidget* lista_ = nullptr;
    DetalleAlarma* detalle_ = nullptr;
    QPushButton* command1_[2] = {nullptr, nullptr};
};

} // namespace corvane
