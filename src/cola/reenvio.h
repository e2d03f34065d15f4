#pragma once
// The event stream's target a central PostgreSQL server: the drain loop moves
// the rows of the local queue to the server's event table, oldest first, in
// batches sent with COPY, and removes them from the queue once the server has
// committed them. The batch and the queue's control record (the last sequence
// number the server holds for this queue) are committed in one transaction, so a
// row is never stored twice, whatever moment the process is killed at.
//
// A batch the server refuses is read by its SQLSTATE (store/errores_motor.h):
// one its statement_timeout cancelled goes again at once, halved; one refused
// for one row's values is split until that row is found, which alone is set
// apart in the queue's `rechazadas` (told once, through avisos()) while the rows
// before and after it go on in order; any other refusal (the table itself:
// a column dropped or changed) leaves every row waiting, told once, until the
// table is mended.
//
// The server is connected to at the start and watched while no row waits (a
// look every kVistazoServidorMs), so that a server that is down or goes away is
// noticed without traffic, and its return too. Every wait on the server is
// bounded and watches the loop's stop request.

#include <QString>

#include <memory>

#include "cola/drenaje.h"
#include "cola/entrada_cola.h"
#include "evento/filas.h"

namespace corvane {

// "fila rechazada por el servidor (abonado 1234, 2026-12-07 10:00:00): 23514
// message": how a row set apart is told.
QString texto_fila_rechazada(const FilaEvento& fila, const QString& estado, const QString& mensaje);

// Milliseconds between two looks at an idle server.
inline constexpr int kVistazoServidorMs = 5000;

class ColaPendientes;

// What sending the rows set apart again did.
struct ResultadoReenvio {
    qint64 guardadas = 0;  // stored now (or found stored by an earlier run)
    qint64 rechazadas = 0; // refused again, kept with the new cause
};

// Sends again, oldest first, each row of `cola`'s `rechazadas` to the server
// `url`, each in a transaction of its own with a control record of its own (the
// queue's identity and the row's sequence number), so that a run interrupted
// after the server's commit and run again stores no row twice. A row stored
// leaves `rechazadas`; one refused again stays there with the new SQLSTATE,
// message and moment. A failure that is no refusal (no server, a lost
// connection) ends the run and is returned.
Fallo reenviar_rechazadas(ColaPendientes& cola, const QString& url, const std::atomic<bool>& parar,
                          ResultadoReenvio& resultado);

class FlujoEventosServidor : public Flujo {
public:
    // `e`: the rows waiting and the queue file; `url`: the server, as --base gives
    // it; `parar`: the drain loop's stop request (Drenaje::parada), which every
    // wait watches.
    FlujoEventosServidor(std::shared_ptr<EsperaEventos> e, QString url,
                         const std::atomic<bool>& parar);
    ~FlujoEventosServidor() override;
    Fallo enviarTanda(const std::atomic<bool>& parar, qint64& movidos) override;
    void soltar() override;
    void cerrar() override;
    std::vector<Fallo> avisos() override;

private:
    struct Partes;
    std::unique_ptr<Partes> p_;
};

} // namespace corvane
