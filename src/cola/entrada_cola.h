#pragma once
// The receive road's side of the local queue, shared by every store that keeps
// rows there. A batch of rows goes to the queue in one transaction when the queue
// takes it at once. When it does not (disk full, locked by another process past
// kEsperaEntradaMs, file unwritable or damaged) the batch waits in memory, in
// order, and so does every later batch until the drain loop has moved memory into
// the queue (mover_memoria) or straight to the target. The receive road waits at
// most kEsperaEntradaMs on the queue's lock per batch, and not at all while memory
// holds rows; memory holds at most kFilasEnMemoria rows, each one past that is
// counted as dropped.
//
// A reserve file of kTamanoReserva bytes beside the queue is released when the
// disk fills, so that the queue goes on taking rows for a while, and is made again
// once memory is empty and the disk has room for it several times over.

#include <QString>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "cola/drenaje.h"
#include "common/fallo.h"
#include "store/esquema.h"

namespace corvane {

class ColaPendientes;

inline constexpr qint64 kFilasEnMemoria = 1000000;
// Milliseconds the receive road waits for the queue's lock before a batch goes to
// memory.
inline constexpr int kEsperaEntradaMs = 25;
// The reserve: 8 MiB, some 40,000 queued rows.
inline constexpr qint64 kTamanoReserva = 8 * 1024 * 1024;

// A new random key for the rows a store queues in this run.
QString nueva_identidad_envio();

// The reserve file for the queue at `cola` (pendientes.db -> pendientes.reserva).
QString ruta_reserva(const QString& cola);

class Reserva {
public:
    void ponerRuta(QString ruta) { ruta_ = std::move(ruta); }
    // Makes the file when it is missing and the disk has room for it four times
    // over. Returns true when it exists afterwards.
    bool crear();
    // Removes the file; true when there was one to remove.
    bool liberar();

private:
    std::mutex mutex_;
    QString ruta_;
};

// What the receive road and the drain loop share about the event rows.
struct EsperaEventos {
    QString ruta;      // the target: the event file or the server's URL
    QString cola;      // the queue file
    QString identidad; // the key new rows are queued under in this run
    std::mutex mutex;  // guards memoria
    // Rows the queue did not take, in order, behind those of the queue. Only the
    // receive road appends; only the one holding `moviendo` removes.
    std::deque<FilaEvento> memoria;
    std::timed_mutex moviendo;
    // Rows waiting, in the queue and in memory.
    std::atomic<qint64> esperando{0};
    // Rows dropped because not even memory could hold them any more.
    std::atomic<qint64> descartadas{0};
    Reserva reserva;

    // Rows held only in memory, dropped ones included.
    qint64 soloEnMemoria();
};

// `filas` into `cola` in one transaction under `identidad`; on a full disk the
// reserve is released and the batch tried once more.
Fallo escribir_en_cola(ColaPendientes& cola, const std::vector<FilaEvento>& filas,
                       EsperaEventos& e);

// Moves up to `maximo` of the oldest rows of memory into the queue through
// `cola` (opened when closed), waiting at most `esperaMs` for another mover.
// `movidas`: how many left memory.
Fallo mover_memoria(EsperaEventos& e, ColaPendientes& cola, int maximo, int esperaMs,
                    qint64& movidas);

// Moves all that memory holds into the queue while it takes it, a few thousand
// rows at a time, without waiting for another mover (one that holds the lock
// leaves memory as it is). Used as a store closes.
Fallo vaciar_memoria(EsperaEventos& e, ColaPendientes& cola);

class EntradaCola {
public:
    EntradaCola(std::shared_ptr<EsperaEventos> e, Drenaje& drenaje);
    ~EntradaCola();
    EntradaCola(const EntradaCola&) = delete;
    EntradaCola& operator=(const EntradaCola&) = delete;

    // Opens the queue (only when its file exists, with `soloSiExiste`) and counts
    // the rows an earlier run left; the failure is returned to be told once, and
    // rows then wait in memory. The reserve is made here.
    Fallo abrir(bool soloSiExiste = false);

    // Rows of one batch are held until confirmar() and written together.
    void comenzar();
    void agregar(const FilaEvento& fila);
    void confirmar();
    void deshacer();

    // Failures of the queue met on the receive road, once per outage.
    std::vector<Fallo> fallos();
    // True while rows wait in memory or the last write to the queue failed.
    bool fallando();
    qint32 ultimoFallo() const { return ultimoNumero_.load(); }

    // After the drain loop has stopped: what memory holds goes to the queue if
    // it takes it at once. Returns the rows that stay only in memory (lost).
    qint64 vaciar();

private:
    void escribir(std::vector<FilaEvento>& filas);
    void anotar(const Fallo& f);

    std::shared_ptr<EsperaEventos> e_;
    Drenaje& drenaje_;
    std::unique_ptr<ColaPendientes> cola_;
    std::vector<FilaEvento> lote_;
    bool enLote_ = false;
    std::atomic<bool> enFalla_{false};
    std::atomic<qint32> ultimoNumero_{0};
    std::vector<Fallo> fallos_;
};

} // namespace corvane
