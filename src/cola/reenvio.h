#pragma once
// The event stream's target a central PostgreSQL server: the drain loop moves
// the rows of the local queue to the server's event table, oldest first, in
// batches sent with COPY, and removes them from the queue once the server has
// committed them. The batch and the queue's control record (the last sequence
// number the server holds for this queue) are committed in one transaction, so a
// row is never stored twice, whatever moment the process is killed at.
//
// The server is connected to at the start and watched while no row waits (a
// look every kVistazoServidorMs), so that a server that is down or goes away is
// noticed without traffic, and its return too. Every wait on the server is
// bounded and watches the loop's stop request.

#include <QString>

#include <memory>

#include "cola/drenaje.h"
#include "cola/entrada_cola.h"

namespace corvane {

// Milliseconds between two looks at an idle server.
inline constexpr int kVistazoServidorMs = 5000;

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

private:
    struct Partes;
    std::unique_ptr<Partes> p_;
};

} // namespace corvane
