#pragma once
// The embedded event file with the local queue of pending rows behind it: rows go
// straight to the file as always; a row the file refuses (locked past a short
// wait, disk full, file unusable, a table with other columns) goes to the queue,
// and from then on every newer row too, so that order is kept, until the drain
// loop has moved every waiting row back into the file (oldest first, a few
// thousand rows at a time, with the control record of the last moved sequence
// number in the same transaction, so a row is never stored twice). If even the
// queue cannot be written, rows wait in memory (cola/entrada_cola.h).

#include "store/motor.h"

namespace corvane {

// `ruta`: the SQLite file (it may be unusable now); `cola`: the queue file,
// opened when first needed or when it already holds rows. `base` is always set:
// a file that cannot be opened now is returned as the failure to log once, and
// tried again later while its rows wait.
Fallo abrir_respaldada(const QString& ruta, const QString& cola, std::unique_ptr<BaseDatos>& base);

} // namespace corvane
