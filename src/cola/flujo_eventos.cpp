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

Fallo FlujoEventosArchivo::enviarTanda(const std::atomic<bool>& parar, qint64& movidos) {
    movidos = 0;
    EsperaEventos& e = *e_;
    if (e.esperando.load() == 0) return {};
    ColaPendientes& cola = c_->cola;
    const auto abrirArchivo = [this]() -> Fallo {
        if (c_->archivo) return {};
        return abrir_sqlite(e_->ruta, c_->archivo);
    };
    const Fallo sinCola = cola.abierta() ? Fallo{} : cola.abrir(e.cola);
    if (!sinCola) {
        FilasPendientes filas;
        if (Fallo f = cola.leer(0, kFilasPorTanda, filas)) return f;
        if (!filas.secuencias.empty()) {
            if (Fallo f = abrirArchivo()) return f;
            qint64 hasta = 0;
            if (Fallo f = guardar_con_control(*c_->archivo, cola.identidad(), filas, hasta))
                return f;
            if (Fallo f = borrar_movidas(cola, hasta, parar)) return f;
            movidos = static_cast<qint64>(filas.secuencias.size());
            e.esperando.fetch_sub(movidos);
            return {};
        }
    }
    // The queue is empty or cannot be used: rows held in memory go to the queue
    // when it takes them again, else straight to the file, but only when no row
    // waits in the queue before them. The shared mutex is held for the whole
    // move: the receive road puts a batch whose commit to the queue failed back
    // at the front of memory, and must not do so while the front is on its way.
    const std::lock_guard<std::mutex> l(e.mutex);
    const std::size_t n = std::min<std::size_t>(e.memoria.size(), kFilasPorTanda);
    if (n == 0) {
        // Nothing left anywhere: the count follows what the queue holds.
        qint64 enLaCola = 0;
        if (!sinCola && !cola.contar(enLaCola) && enLaCola == 0) e.esperando.store(0);
        return sinCola;
    }
    const auto primeras = e.memoria.begin() + static_cast<std::ptrdiff_t>(n);
    const auto enCola = [&]() -> Fallo {
        if (Fallo f = cola.comenzar()) return f;
        for (auto it = e.memoria.begin(); it != primeras; ++it) {
            if (Fallo f = cola.encolar(*it)) {
                cola.deshacer();
                return f;
            }
        }
        return cola.confirmar();
    };
    const auto enArchivo = [&]() -> Fallo {
        if (Fallo f = abrirArchivo()) return f;
        if (Fallo f = c_->archivo->comenzarLote()) return f;
        for (auto it = e.memoria.begin(); it != primeras; ++it) {
            if (Fallo f = c_->archivo->guardar(*it)) {
                c_->archivo->deshacerLote();
                return f;
            }
        }
        return c_->archivo->confirmarLote();
    };
    Fallo f = sinCola ? sinCola : enCola();
    if (f) {
        // Rows of the queue that cannot be read now go first.
        if (e.esperando.load() > static_cast<qint64>(e.memoria.size())) return f;
        if ((f = enArchivo())) return f;
        e.esperando.fetch_sub(static_cast<qint64>(n));
    }
    e.memoria.erase(e.memoria.begin(), primeras);
    movidos = static_cast<qint64>(n);
    return {};
}

} // namespace corvane
