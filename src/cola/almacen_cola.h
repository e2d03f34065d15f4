#pragma once
// What only a store with the local queue behind it knows, beside what every
// engine does (BaseDatos): the alarm-table writes and the audit entries that
// wait in the queue with the events, moved by the same drain loop.

#include "cola/escritura_alarmas.h"
#include "cola/escritura_auditoria.h"
#include "store/definesBaseDatos.h"

namespace corvane {

class AlmacenConCola {
public:
    virtual ~AlmacenConCola() = default;
    virtual EscrituraAlarmas& alarmas() = 0;
    virtual EscrituraAuditoria& auditoria() = 0;
};

// The audit stream of `base`'s store; null when the store keeps no queue.
EscrituraAuditoria* escritura_auditoria(BaseDatos* base);

// Hands `entradas` to the audit trail of slot 0's store: through its audit
// stream when it keeps a queue (at once, nothing waits on a network); else
// appended to the slot's engine directly. The failure met is returned; with a
// queue the entries wait in any case.
Fallo anotar_en_auditoria(ConjuntoBases& bases, const std::vector<EntradaAuditoria>& entradas);
Fallo anotar_en_auditoria(ConjuntoBases& bases, const EntradaAuditoria& entrada);

// The store of `ruta` (an SQLite file or a postgresql:// URL) with the queue file
// `cola` behind it: nothing received is lost to the store. A server is reached
// through the queue (every row is committed there first and moved by the drain
// loop); an SQLite file sends the rows it refuses to the queue until it takes
// them again. Without `cola`, or for kBaseEnMemoria, the engine alone. With a
// queue `base` is set even when the open fails (the failure is returned to be
// logged; the store keeps trying).
Fallo abrir_almacen(const QString& ruta, const QString& cola, std::unique_ptr<BaseDatos>& base);

} // namespace corvane
