#pragma once
// The main window ("Analizador Corvane"): port choice and port button, the
// online log and status line, the account query, the button that opens the
// online account window, the one that opens the alarm window, the one that
// opens the event window and the one that opens the account register. It shows and drives a receive
// road built before it (the event database already open): building it loads it, the lists are
// filled, the window is laid out over the screen once and the query date is today.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "common/mensajes.h"
#include "common/reloj.h"
#include "consola/boton_consulta.h"
#include "consola/boton_puerto.h"
#include "reception/estado_proceso.h"
#include "reception/manejador.h"
#include "reception/puerto_serie.h"
#include "ui/form2.h"
#include "ui/mensajes_ventana.h"

class QAction;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace corvane {

class CampoCuenta;
class CatalogoAbonados;
class DialogoTurno;
class Turno;
class VentanaAbonados;
class CajaLineaVentana;
class CajaRegistroVentana;
class PanelEtiquetado;
class VentanaAlarmas;
class VentanaEventos;
class VentanaInforme;

class Form1 : public QWidget, public ControlesPuerto {
    Q_OBJECT
public:
    // The window shows and drives `estado`, `manejador` and the port `MSComm1`,
    // which outlive it; the handler's boxes are text1() and text4(), handed to it
    // by whoever built the road. `puerto` ("1".."20" or a device path; may be
    // empty) is chosen in the port list. Messages go to `mensajes`, or to message
    // boxes when it is null.
    Form1(EstadoProceso& estado, const Reloj& reloj, ManejadorRx& manejador, PuertoSerie& MSComm1,
          QString puerto, CajaMensajes* mensajes = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    void habilitarVerCuenta(bool habilitado) override;
    void ponerTituloBoton(const QString& titulo) override;
    void habilitarListas(bool habilitadas) override;

    // A workstation without a port (it shows what a central server stores): the
    // port list, the speed list and the port button stay disabled.
    void sinPuerto();

    void Command1_Click(); // port button
    void Command2_Click(); // "Limpiar Pantalla OnLine"
    void Command3_Click(); // "Realizar Busqueda"
    void Command4_Click(); // "Ver Cuenta OnLine"
    void Command5_Click(); // "Alarmas"
    void Command6_Click(); // "Exportar…"
    void Eventos_Click();  // "Eventos"
    void Informe_Click();  // "Informe"
    void Abonados_Click(); // "Abonados"

    // The shift of this console, which outlives the window. While operators
    // exist the strip shows who is on duty ("Sin operador de turno", in the
    // alert colour, when nobody is), a button whose menu signs in or hands
    // over ("Iniciar turno", "Cambiar de turno"); the
    // alarm window refuses its actions while nobody is on duty. Null, or no
    // operators: the window is as before operators existed.
    void ponerTurno(Turno* turno);
    Turno* turno() const { return turno_; }
    // Opens the dialog "Iniciar turno" over the window, without blocking (one at
    // a time); nothing when there are no operators.
    void CambiarTurno_Click();
    // The dialog while it is open, else null.
    DialogoTurno* dialogoTurno() const;

    // The register changed `cuenta` (empty: any account), here or on another
    // workstation: every window shows it again.
    void abonadoCambiado(const QString& cuenta);

    // Where "Exportar…" asks for the file, offered a name; empty: cancelled. By
    // default a save dialog.
    void ponerElegirArchivo(std::function<QString(const QString& propuesto)> elegir) {
        elegirArchivo_ = std::move(elegir);
    }
    // The same, with the file's form (RFC 4180 or for a spreadsheet).
    void ponerElegirExportacion(ElegirExportacion elegir) {
        elegirExportacion_ = std::move(elegir);
    }

    // Opens `puerto` (the port list's choice) at `velocidad` bit/s as the port
    // button does, the speed chosen in its list: a windows start with --puerto
    // and --velocidad receives from its first second. A port that does not open
    // is told as the button tells it; the window stays as after a failed press.
    void abrirPuerto(int velocidad);

    // The boxes as the logic sees them: online log, query result, queried
    // account, status line.
    CajaTexto& text1();
    CajaTexto& text2();
    CajaTexto& text3();
    CajaTexto& text4();
    // The status line for texts in the alert colour, until the next status text.
    CajaTexto& text4Alerta();
    // The alert strip along the top of the window: shown, in the alert colour,
    // while it holds a text (several alerts joined, wrapped on two lines and in a
    // smaller type when they need it).
    CajaTexto& aviso();

    // Lays the window out again for an inside of `tamano`, as at load on a
    // screen that leaves a maximised window that inside; the window is no longer
    // maximised and keeps that size.
    void disponerPara(const QSize& tamano);

    // The receive handler that the port feeds.
    ManejadorRx& manejador() { return manejador_; }

    // The online account window while it is open, else null.
    Form2* form2() const { return form2_; }
    // The alarm window, shown or not; it lives as long as this window and takes
    // the alarms that the receive handler stores.
    VentanaAlarmas& ventanaAlarmas() { return *alarmas_; }
    // The event window, shown or not; it lives as long as this window and takes
    // every row the online log shows.
    VentanaEventos& ventanaEventos() { return *eventos_; }
    // The account window once opened, else null.
    VentanaAbonados* ventanaAbonados() const { return abonados_.get(); }
    // What the windows show of the register.
    CatalogoAbonados& catalogo() { return *catalogo_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void construir();
    void Form_Load();
    void disponer();
    void disponerInterior();
    void colocarFranja();
    void ajustarAviso();
    void mostrarNuevas(bool atras, int nuevas);
    void mostrarTurno();
    void Form_Unload();

    EstadoProceso& estado_;
    const Reloj& reloj_;
    ManejadorRx& manejador_;
    PuertoSerie& MSComm1_;
    QString puertoInicial_;
    MensajesVentana mensajesPropios_;
    CajaMensajes* mensajes_;

    // Our own strip along the top, its height kept for it from the start (the
    // alerts, the alarm and event buttons, the way back to the top of the online log), and
    // the inside under it where the window's frames are laid out.
    QWidget* franja_ = nullptr;
    QWidget* interior_ = nullptr;
    QPushButton* nuevas_ = nullptr;
    QToolButton* deTurno_ = nullptr;
    QAction* cambiarTurno_ = nullptr;
    Turno* turno_ = nullptr;
    QPointer<DialogoTurno> dialogoTurno_;
    int altoFranja_ = 0;

    QGroupBox* frame1_ = nullptr;
    PanelEtiquetado* vsElastic1_ = nullptr;
    QComboBox* combo1_[2] = {nullptr, nullptr};
    QPushButton* command4_ = nullptr;
    QPushButton* command1_ = nullptr;
    QLineEdit* text4_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPlainTextEdit* text1_ = nullptr;
    QGroupBox* frame3_ = nullptr;
    PanelEtiquetado* vsElastic2_ = nullptr;
    CampoCuenta* text3_ = nullptr;
    QComboBox* combo2_[2] = {nullptr, nullptr};
    QDateEdit* dtPicker1_ = nullptr;
    QPushButton* command3_ = nullptr;
    QPushButton* command6_ = nullptr;
    std::function<QString(const QString&)> elegirArchivo_;
    ElegirExportacion elegirExportacion_;
    QPlainTextEdit* text2_ = nullptr;

    std::unique_ptr<CajaRegistroVentana> cajaText1_;
    std::unique_ptr<CajaRegistroVentana> cajaText2_;
    std::unique_ptr<CajaLineaVentana> cajaText4_;
    // The listing that Text2 shows; "Exportar…" is enabled while there is one.
    std::unique_ptr<HistorialMostrado> historial_;
    void historialCambiado();

    // Before the windows that ask it, so that it outlives them.
    std::unique_ptr<CatalogoAbonados> catalogo_;
    QPointer<Form2> form2_;
    QPushButton* command5_ = nullptr;
    std::unique_ptr<VentanaAlarmas> alarmas_;
    QPushButton* botonEventos_ = nullptr;
    std::unique_ptr<VentanaEventos> eventos_;
    QPushButton* botonInforme_ = nullptr;
    std::unique_ptr<VentanaInforme> informe_;
    QPushButton* botonAbonados_ = nullptr;
    std::unique_ptr<VentanaAbonados> abonados_;
    QString puesto_;

    class CajaAviso;
    std::unique_ptr<CajaAviso> cajaAviso_;
    QLabel* aviso_ = nullptr;

    QSize dispuesto_; // the inside that the layout was computed for
    bool mostrada_ = false;
    bool esperandoMaximizado_ = false;
};

// Milliseconds after the main window first appears during which the inside that
// the window manager gives the maximised window replaces the one assumed at load.
inline constexpr int kEsperaMaximizadoMs = 2000;

} // namespace corvane
