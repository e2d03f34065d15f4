#pragma once
// The serial port: an adapter over QSerialPort that hands every received byte to
// the receive handler, in arrival order, and the logic of the port button
// (AbrirCom). The port opens 8 data bits, no parity, 1 stop bit, RTS off, at the
// chosen speed. A port lost while open (an adapter pulled out) is closed, shown in
// the status line and reopened every few seconds until it is back or the operator
// presses the port button.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

#include "common/caja_texto.h"
#include "common/mensajes.h"
#include "common/reloj.h"
#include "reception/manejador.h"

class QSerialPort;

namespace corvane {

inline const QString kMensajePuerto =
    QStringLiteral("Error al abrir puerto serie,verifique el numero de com");
inline const QString kTituloAbrir = QStringLiteral("Abrir COM");
inline const QString kTituloCerrar = QStringLiteral("Cerrar COM");
inline const QString kTituloInicial = QStringLiteral("Abrir Com");

// Seconds between attempts to reopen a lost port.
inline constexpr int kReintentoPuertoS = 3;
// Milliseconds that received bytes gather before they are read: the first byte
// of a burst arms a timer and the rest wait in the device, so a line at 19200
// bit/s wakes the console (and commits its rows) about 5 times a second instead
// of once per character. 384 characters arrive meanwhile at 19200 bit/s, far
// below the 4 KiB that the system's serial buffer holds; a report reaches the
// screen at most this much later, which an operator does not notice.
inline constexpr int kReunirLecturaMs = 200;
// A read of at least this many bytes means a line far faster than any speed of
// the list (a capture played at full speed): the next bytes are read as soon as
// they come, so the device's buffer never fills.
inline constexpr qsizetype kLecturaGrande = 1024;
// One read takes at most this many bytes: a line that never pauses still gets its
// rows committed and its reports shown in bounded batches.
inline constexpr qsizetype kLecturaMaxima = 64 * 1024;

// A numbered port n (es_puerto_numerado) names COMn on Windows and /dev/ttyS<n-1>
// elsewhere; any other text is taken as a device path as it stands.
QString nombre_dispositivo(const QString& puerto);

// Serial ports that the system reports (USB adapters included), as device paths.
QStringList puertos_del_sistema();

// The controls that opening and closing the port change.
class ControlesPuerto {
public:
    virtual ~ControlesPuerto() = default;
    virtual void habilitarVerCuenta(bool habilitado) = 0; // Command4, "Ver Cuenta OnLine"
    virtual void ponerTituloBoton(const QString& titulo) = 0; // Command1
    virtual void habilitarListas(bool habilitadas) = 0;   // Combo1(0), then Combo1(1)
};

class PuertoSerie : public QObject {
    Q_OBJECT
public:
    // Received bytes go to `manejador`; the port's loss and recovery are told in
    // `text4`, the status line, with the time from `reloj`.
    PuertoSerie(ManejadorRx& manejador, CajaTexto& text4, const Reloj& reloj,
                QObject* parent = nullptr);
    ~PuertoSerie() override;

    // Open in the sense of the port button: open, or lost and being retried.
    bool PortOpen() const;
    // Opens `puerto` (see nombre_dispositivo) at `velocidad` bit/s, 8-N-1, RTS off.
    // On failure returns false, leaves the port closed and gives the system's reason.
    bool abrir(const QString& puerto, qint32 velocidad, QString& error);
    // Closes the port and stops any retry.
    void cerrar();
    // True while a lost port is being retried.
    bool reintentando() const;
    // Milliseconds between attempts to reopen a lost port (tests shorten it).
    void ponerIntervaloReintento(int ms) { reintento_.setInterval(ms); }

Q_SIGNALS:
    void perdido();    // the open port failed and was closed; retries start
    void recuperado(); // a lost port opened again
    // A read went through the handler, or the status line changed: the moment
    // for modes without windows to flush what their boxes wrote.
    void actividad();

private:
    void alLlegar();
    void leer();
    void alFallar();
    void reintentar();
    bool abrirDispositivo(QString& error);
    void estado(const QString& texto);

    ManejadorRx& manejador_;
    CajaTexto& text4_;
    const Reloj& reloj_;
    std::unique_ptr<QSerialPort> puerto_;
    QTimer reintento_;
    QTimer lectura_;
    bool leyendo_ = false;
    bool lineaRapida_ = false;
    QString nombre_;
    qint32 velocidad_ = 0;
    bool abiertoParaOperador_ = false;
};

// The port button: closes the port when it is open, otherwise opens `puerto` at
// `baudrate` and updates the controls as the button's states require. A failure
// shows "Error al abrir puerto serie,verifique el numero de com" titled "Brisca".
void AbrirCom(const QString& puerto, PuertoSerie& comm, qint32 baudrate,
              ControlesPuerto& controles, CajaMensajes& mensajes);

} // namespace corvane
