#pragma once
// What only a store with the local queue behind it knows, beside what every
// engine does (BaseDatos): the alarm-table writes that wait in the queue with
// the events, moved by the same drain loop.

#include "cola/escritura_alarmas.h"

namespace corvane {

class AlmacenConCola {
public:
    virtual ~AlmacenConCola() = default;
    virtual EscrituraAlarmas& alarmas() = 0;
};

// The store of `ruta` (an SQLite file or a postgresql:// URL) with the queue file
// `cola` behind it: nothing received is lost to the store. A server is reached
// through the queue (every row is committed there first and moved by the drain
// loop); an SQLite file sends the rows it refuses to the queue until it takes
// them again. Without `cola`, or for kBaseEnMemoria, the engine alone. With a
// queue `base` is set even when the open fails (the failure is returned to be
// logged; the store keeps trying).
Fallo abrir_almacen(const QString& ruta, const QString& cola, std::unique_ptr<BaseDatos>& base);

} // namespace corvane
