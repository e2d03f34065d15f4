#include "app/servicio.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "app/cajas_consola.h"
#include "app/camino.h"
#include "app/modos.h"
#include "consola/boton_puerto.h"
#include "reception/puerto_serie.h"

namespace corvane {
namespace {

// Write end of the stop pipe. A signal handler reaches nothing but process-wide
// state, so this one descriptor lives here: set while a ParadaPorSenal exists,
// -1 otherwise.
std::atomic<int> fdParada{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free atomic");

// Only write() is async-signal-safe enough for this: one byte tells the event
// loop to stop. A full pipe already holds a stop, so a failed write loses nothing.
void al_recibir_parada(int) {
    const int guardado = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t r = ::write(fdParada.load(), &byte, 1);
    errno = guardado;
}

// SIGINT and SIGTERM become a readable byte on a pipe that the event loop
// watches; the previous dispositions come back when this object goes.
class ParadaPorSenal {
public:
    ParadaPorSenal() {
        if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
            fds_[0] = fds_[1] = -1;
            return;
        }
        fdParada.store(fds_[1]);
        struct sigaction accion {};
        accion.sa_handler = al_recibir_parada;
        sigemptyset(&accion.sa_mask);
        accion.sa_flags = SA_RESTART;
        sigaction(SIGINT, &accion, &anteriorInt_);
        sigaction(SIGTERM, &accion, &anteriorTerm_);
    }
    ~ParadaPorSenal() {
        if (fds_[0] < 0) return;
        sigaction(SIGINT, &anteriorInt_, nullptr);
        sigaction(SIGTERM, &anteriorTerm_, nullptr);
        fdParada.store(-1);
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    ParadaPorSenal(const ParadaPorSenal&) = delete;
    ParadaPorSenal& operator=(const ParadaPorSenal&) = delete;

    bool preparada() const { return fds_[0] >= 0; }
    int lectura() const { return fds_[0]; }
    void vaciar() const {
        char bytes[64];
        while (::read(fds_[0], bytes, sizeof bytes) > 0) {
        }
    }

private:
    int fds_[2] = {-1, -1};
    struct sigaction anteriorInt_ {};
    struct sigaction anteriorTerm_ {};
};

} // namespace

int modo_sin_ventana(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    // Ready before the port opens: a stop that comes early ends the loop as soon
    // as it starts.
    const ParadaPorSenal parada;
    if (!parada.preparada())
        return fallar(QStringLiteral("no se pudo preparar la parada por señales: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno))));

    CajaSalida text1(stdout);
    CajaLinea text4(stderr);
    Camino camino(o);
    camino.ponerCajas(&text1, &text4);
    // A silent receiver and a lost port: one line on standard error at each change.
    camino.ponerVigilancia(&text4, nullptr, nullptr);
    amortiguar_errores();
    if (o.vista) {
        // No port and no store of its own: the lines of what the central server
        // stores, as they are committed.
        camino.seguir(true);
    } else {
        PuertoSerie& puerto = *camino.puerto();
        QObject::connect(&puerto, &PuertoSerie::actividad, &puerto, vaciar_salidas);
        // The port first: a port that cannot be opened leaves the data folder untouched.
        // With --esperar-puerto it is lost from the start instead, told on standard
        // error and retried, and reception begins when it appears.
        if (o.esperarPuerto)
            puerto.abrirOEsperar(o.puerto, o.velocidad);
        else if (const Fallo f = puerto.abrir(o.puerto, o.velocidad))
            return fallar(QStringLiteral("%1 (%2: %3)")
                              .arg(kMensajePuerto, nombre_dispositivo(o.puerto), f.detalle));
        if (const Fallo f = camino.abrirBase()) {
            fallar(f.detalle);
            return kSalidaBaseIlegible;
        }
        camino.guardarAlarmas();
    }

    QSocketNotifier avisos(parada.lectura(), QSocketNotifier::Read);
    QObject::connect(&avisos, &QSocketNotifier::activated, &avisos, [&parada] {
        parada.vaciar();
        QCoreApplication::quit();
    });
    // Every read of the port runs through the handler whole, so the stop comes
    // between reads: no character is left half processed.
    QCoreApplication::exec();

    return camino.terminar();
}

} // namespace corvane
