#pragma once
// The serial port: an adapter over QSerialPort that hands every received byte to
// the receive handler, in arrival order. The port opens 8 data bits, no parity,
// 1 stop bit, RTS off, at the chosen speed. A port lost while open (an adapter
// pulled out) is closed, told through a signal and reopened every few seconds
// until it is back or it is closed. Its failures carry the reason in Spanish,
// never the system's own (English) text.

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

#include "common/fallo.h"

class QSerialPort;

namespace corvane {

class ManejadorRx;

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

// The reason for a system error number `numero` (errno) as the operator reads it:
// "no existe el dispositivo", "sin permiso", "ocupado por otro programa", "error
// de entrada/salida", "el dispositivo desapareció"; any other number "error N".
QString causa_de_errno(int numero);

// What happens to a port lost while open: it is lost and closed (retries start),
// a retry fails, it is open again.
enum class CambioPuerto { Perdido, Reintento, Recuperado };

class PuertoSerie : public QObject {
    Q_OBJECT
public:
    // Received bytes go to `manejador`.
    explicit PuertoSerie(ManejadorRx& manejador, QObject* parent = nullptr);
    ~PuertoSerie() override;

    // Open in the sense of the port button: open, or lost and being retried.
    bool PortOpen() const;
    // Opens `puerto` (see nombre_dispositivo) at `velocidad` bit/s, 8-N-1, RTS off.
    // A failure leaves the port closed; its detail is the reason (causa_de_errno).
    Fallo abrir(const QString& puerto, qint32 velocidad);
    // As abrir, but a port that does not open (an adapter not plugged in yet, a
    // device without permission yet) is taken as a port lost at once: it counts
    // as open, is told Perdido with the reason, and is retried every few seconds
    // until it opens or is closed. It never fails: PortOpen() is true after it.
    void abrirOEsperar(const QString& puerto, qint32 velocidad);
    // Closes the port and stops any retry.
    void cerrar();
    // True while a lost port is being retried.
    bool reintentando() const;
    // Milliseconds between attempts to reopen a lost port (tests shorten it).
    void ponerIntervaloReintento(int ms) { reintento_.setInterval(ms); }
    // The device last opened (see nombre_dispositivo).
    QString nombre() const { return nombre_; }

Q_SIGNALS:
    // A lost port's change, with its reason in Spanish (causa_de_errno): for
    // Perdido when the port tells it for sure (a line that hangs up tells
    // nothing), for every Reintento; empty for Recuperado.
    void cambio(corvane::CambioPuerto que, const QString& causa);
    // PortOpen() changed: an open that succeeded (true), a close (false).
    void abiertoCambiado(bool abierto);
    // Characters arrived; told before they go through the handler.
    void llegada();
    // A read went through the handler, or a change was told: the moment for
    // modes without windows to flush what their boxes wrote.
    void actividad();

private:
    void alLlegar();
    void leer();
    void alFallar();
    void reintentar();
    Fallo abrirDispositivo();
    void avisar(CambioPuerto que, const QString& causa);
    void entregar(const QByteArray& bytes);

    ManejadorRx& manejador_;
    std::unique_ptr<QSerialPort> puerto_;
    QTimer reintento_;
    QTimer lectura_;
    bool leyendo_ = false;
    bool lineaRapida_ = false;
    QString nombre_;
    qint32 velocidad_ = 0;
    bool abiertoParaOperador_ = false;
};

} // namespace corvane
