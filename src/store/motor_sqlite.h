#pragma once
// The embedded engine: an SQLite file (or kBaseEnMemoria) through Qt's QSQLITE
// driver, the event row bound on the driver's own sqlite3 handle.

#include "store/motor.h"

namespace corvane {

// A missing file is created with the event table and its index; an existing one
// is opened for reading and writing only, never overwritten. WAL with
// synchronous=FULL: a committed row survives a power cut.
Fallo abrir_sqlite(const QString& ruta, std::unique_ptr<BaseDatos>& base);

// An existing file opened by `uri`, an SQLite URI that only reads (archivo_base.h
// makes it), as it is: no journal mode set, no table or index created, and a
// statement that writes fails. A lock held by a writer is waited for up to
// `esperaBloqueoMs`. The file is not watched for a replacement.
Fallo abrir_sqlite_lectura(const QString& uri, int esperaBloqueoMs,
                           std::unique_ptr<BaseDatos>& base);

} // namespace corvane
