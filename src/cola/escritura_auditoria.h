#pragma once
// Audit entries that nothing loses. Each entry gets, when handed over, its
// moment (the moment of the action, when the caller gave none) and an origin key
// (the workstation and a random 128-bit id). It is appended to the event file at
// once when no earlier entry waits and the file takes it; otherwise, and always
// for a central server (the caller never waits on the network), it waits in the
// local queue's table `auditoria` (in memory, in order, when not even the queue
// takes it), and the drain loop appends the waiting entries, oldest first, in
// order. The chain (sequence number, hashes) is made by the database as it
// stores each entry. An append is not idempotent: the database skips an entry
// whose origin it holds already, so one moved twice (the process killed between
// the database's commit and the removal from the queue) is stored once.

#include <QString>

#include <memory>
#include <vector>

#include "auditoria/auditoria.h"
#include "cola/drenaje.h"

namespace corvane {

struct AuditoriaPendiente;
struct EsperaAuditoria;

class EscrituraAuditoria {
public:
    // `cola`: the queue file (empty: what waits is held in memory); `destino`:
    // the database the entries go to, as abrir_motor takes it. Registers its
    // stream in `drenaje`, which must not be started yet.
    EscrituraAuditoria(const QString& cola, const QString& destino, Drenaje& drenaje);
    ~EscrituraAuditoria();
    EscrituraAuditoria(const EscrituraAuditoria&) = delete;
    EscrituraAuditoria& operator=(const EscrituraAuditoria&) = delete;

    // Hands `entradas` over, in order; returns at once. The failure met, of the
    // event file or of the queue, is returned; the entries wait in either case.
    Fallo anotar(const std::vector<EntradaAuditoria>& entradas);
    Fallo anotar(const EntradaAuditoria& entrada);
    // Entries waiting, in the queue and in memory.
    qint64 esperando() const;
    // Entries held only in memory (the queue did not take them): lost if the
    // process ends before the database takes them.
    qint64 soloEnMemoria() const;
    // Failures the drain loop met moving them, once per outage.
    std::vector<Fallo> fallos();
    // True while the drain loop's last attempt failed.
    bool fallando() const;

private:
    Fallo guardarEsperando(const std::vector<AuditoriaPendiente>& entradas);

    std::shared_ptr<EsperaAuditoria> espera_;
    Drenaje& drenaje_;
    std::size_t flujo_ = 0;
};

} // namespace corvane
