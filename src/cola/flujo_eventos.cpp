#include "cola/flujo_eventos.h"

#include <algorithm>

#include "cola/cola_pendientes.h"
#include "common/registro_errores.h"
#include "store/motor_sqlite.h"

namespace corvane {

namespace {

// Rows moved into the file in one transaction: a few milliseconds of work.
constexpr int kFilasPorTanda = 5000;
// Attempts at removing from the queue a batch the target holds, each waiting the
// queue's own lock wait (300 ms): the receive road's batch may hold the queue's
// write lock meanwhile, and that is no failure.
constexpr int kIntentosBorrado = 20;

} // namespace

Fallo borrar_movidas(ColaPendientes& cola, qint64 hasta, const std::atomic<bool>& parar) {
    Fallo f;
    for (int i = 0; i < kIntentosBorrado; ++i) {
        f = cola.borrar_hasta(hasta);
        if (f.numero != fallos::kBloqueada || parar.load()) break;
    }
    return f;
}

struct FlujoEventosArchivo::Conexiones {
    ColaPendientes cola;
    std::unique_ptr<BaseDatos> archivo;
};

FlujoEventosArchivo::FlujoEventosArchivo(std::shared_ptr<EsperaEventos> e)
    : e_(std::move(e)), c_(std::make_unique<Conexiones>()) {}

FlujoEventosArchivo::~FlujoEventosArchivo() = default;

// The next attempt opens the file anew: a file removed, or a table dropped or
// renamed meanwhile, is created again.
void FlujoEventosArchivo::soltar() {
    c_->archivo.reset();
}

void FlujoEventosArchivo::cerrar() {
    // What memory holds goes to the queue if it takes it now.
    static_cast<void>(vaciar_memoria(*e_, c_->cola));
    c_->archivo.reset();
    c_->cola.cerrar();
}

namespace {

// The rows above the file's control record for this queue, and the record, in
// one transaction. `hasta`: the last sequence number the file holds afterwards.
Fallo guardar_con_control(BaseDatos& archivo, const QString& cola,
                          const FilasPendientes& pendientes, qint64& hasta) {
    const std::vector<FilaEvento> filas = pendientes.filas();
    const std::vector<qint64>& secuencias = pendientes.secuencias;
    if (Fallo f = archivo.ejecutar(esquema::kCrearControl)) return f;
    std::unique_ptr<Registros> rs;
    if (Fallo f = archivo.abrirRegistros(esquema::kLeerControl, {cola}, rs)) return f;
    qint64 ultima = 0;
    if (!rs->alFinal()) {
        QVariant v;
        if (Fallo f = rs->valor(QStringLiteral("ultima_secuencia"), v)) return f;
        ultima = v.toLongLong();
    }
    rs->cerrar();
    if (Fallo f = archivo.comenzarLote()) return f;
    for (size_t i = 0; i < filas.size(); ++i) {
        if (secuencias[i] <= ultima) continue;
        if (Fallo f = archivo.guardar(filas[i])) {
            archivo.deshacerLote();
            return f;
        }
    }
    hasta = std::max(ultima, secuencias.back());
    if (Fallo f = archivo.ejecutar(esquema::kPonerControl, {cola, hasta})) {
        archivo.deshacerLote();
        return f;
    }
    return archivo.confirmarLote();
}

} // namespace

Fallo tanda_eventos(EsperaEventos& e, ColaPendientes& cola, int maximo, const EnviarDeCola& deCola,
                    const EnviarDeMemoria& deMemoria, qint64& movidos) {
    movidos = 0;
    if (e.esperando.load() == 0) {
        // Nothing waits: a reserve released by a full disk is made again once
        // there is room for it.
        e.reserva.crear();
        return {};
    }
    // The drain loop is the only mover while it runs: no wait for the lock.
    qint64 aCola = 0;
    const Fallo enMemoria = mover_memoria(e, cola, maximo, 0, aCola);
    Fallo sinCola;
    if (!cola.abierta() && !(sinCola = cola.abrir(e.cola))) cola.ponerIdentidadEnvio(e.identidad);
    if (!sinCola) {
        // A queue that cannot take rows (a full disk) may still be read and emptied.
        FilasPendientes filas;
        if (Fallo f = cola.leer(0, maximo, filas)) return f;
        if (!filas.secuencias.empty()) {
            const Fallo f = deCola(filas, movidos);
            e.esperando.fetch_sub(movidos);
            return f;
        }
    }
    // The queue holds nothing or cannot be read: memory's rows go straight to the
    // target, but only when no row of the queue waits before them.
    std::unique_lock<std::timed_mutex> moviendo(e.moviendo, std::try_to_lock);
    if (!moviendo.owns_lock()) return {};
    std::vector<FilaEvento> directas;
    {
        const std::lock_guard<std::mutex> l(e.mutex);
        const auto enLaMemoria = static_cast<qint64>(e.memoria.size());
        if (enLaMemoria == 0) {
            // Nothing left anywhere: the count follows what the queue holds.
            qint64 enLaCola = 0;
            if (!sinCola && !cola.contar(enLaCola) && enLaCola == 0) e.esperando.store(0);
            return sinCola ? sinCola : enMemoria;
        }
        if (!enMemoria && !sinCola) return {};
        if (e.esperando.load() > enLaMemoria) return sinCola ? sinCola : enMemoria;
        const std::size_t n =
            std::min<std::size_t>(e.memoria.size(), static_cast<std::size_t>(maximo));
        directas.assign(e.memoria.begin(), e.memoria.begin() + static_cast<std::ptrdiff_t>(n));
    }
    const Fallo f = deMemoria(directas, movidos);
    {
        const std::lock_guard<std::mutex> l(e.mutex);
        e.memoria.erase(e.memoria.begin(),
                        e.memoria.begin() + static_cast<std::ptrdiff_t>(movidos));
    }
    e.esperando.fetch_sub(movidos);
    return f;
}

Fallo FlujoEventosArchivo::enviarTanda(const std::atomic<bool>& parar, qint64& movidos) {
    const auto abrirArchivo = [this]() -> Fallo {
        if (c_->archivo) return {};
        return abrir_sqlite(e_->ruta, c_->archivo);
    };
    const EnviarDeCola deCola = [&](const FilasPendientes& filas, qint64& n) -> Fallo {
        if (Fallo f = abrirArchivo()) return f;
        qint64 hasta = 0;
        if (Fallo f = guardar_con_control(*c_->archivo, filas.identidad, filas, hasta)) return f;
        if (Fallo f = borrar_movidas(c_->cola, hasta, parar)) return f;
        n = static_cast<qint64>(filas.secuencias.size());
        return {};
    };
    const EnviarDeMemoria deMemoria = [&](const std::vector<FilaEvento>& filas,
                                          qint64& n) -> Fallo {
        if (Fallo f = abrirArchivo()) return f;
        BaseDatos& archivo = *c_->archivo;
        if (Fallo f = archivo.comenzarLote()) return f;
        for (const FilaEvento& fila : filas) {
            if (Fallo f = archivo.guardar(fila)) {
                archivo.deshacerLote();
                return f;
            }
        }
        if (Fallo f = archivo.confirmarLote()) return f;
        n = static_cast<qint64>(filas.size());
        return {};
    };
    return tanda_eventos(*e_, c_->cola, kFilasPorTanda, deCola, deMemoria, movidos);
}

} // namespace corvane
