#pragma once
// The event stream of the local queue and its target the event file: rows that
// the file refused wait in the queue's table `pendientes` (in memory when not
// even the queue takes them) and the drain loop moves them back, oldest first,
// with the file's control record of the last moved sequence number of their key
// in the same transaction.

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

#include "cola/drenaje.h"
#include "cola/entrada_cola.h"

namespace corvane {

class ColaPendientes;
struct FilasPendientes;

// Sends `filas` (queued under `filas.identidad`) with the target's control record
// and removes from the queue what the target holds; `movidos`: the rows that left
// the queue (some may have, even when it fails).
using EnviarDeCola = std::function<Fallo(const FilasPendientes& filas, qint64& movidos)>;
// Sends rows held only in memory with no control record; `movidos`: how many of
// the first of them the target holds (all, or none, for a target that takes the
// batch in one transaction).
using EnviarDeMemoria = std::function<Fallo(const std::vector<FilaEvento>& filas, qint64& movidos)>;

// Removes from the queue the rows up to `hasta`, trying again while the receive
// road holds the queue's write lock.
Fallo borrar_movidas(ColaPendientes& cola, qint64 hasta, const std::atomic<bool>& parar);

// One batch of the event stream, the same for every target: rows in memory go to
// the queue; the queue's oldest rows go to the target and leave the queue; when
// the queue cannot be used and holds nothing before them, memory's oldest rows go
// straight to the target. `movidos`: rows that reached the target.
Fallo tanda_eventos(EsperaEventos& e, ColaPendientes& cola, int maximo, const EnviarDeCola& deCola,
                    const EnviarDeMemoria& deMemoria, qint64& movidos);

class FlujoEventosArchivo : public Flujo {
public:
    explicit FlujoEventosArchivo(std::shared_ptr<EsperaEventos> e);
    ~FlujoEventosArchivo() override;
    Fallo enviarTanda(const std::atomic<bool>& parar, qint64& movidos) override;
    void soltar() override;
    void cerrar() override;

private:
    struct Conexiones;
    std::shared_ptr<EsperaEventos> e_;
    std::unique_ptr<Conexiones> c_;
};

} // namespace corvane
