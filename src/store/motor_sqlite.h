#pragma once
// The embedded engine: an SQLite file (or kBaseEnMemoria) through Qt's QSQLITE
// driver, the event row bound on the driver's own sqlite3 handle.

#include "store/motor.h"

namespace corvane {

// A missing file is created with the event table and its index; an existing one
// is opened for reading and writing only, never overwritten. WAL with
// synchronous=FULL: a committed row survives a power cut.
Fallo abrir_sqlite(const QString& ruta, std::unique_ptr<BaseDatos>& base);

} // namespace corvane
