#pragma once
// The event file of the data folder read from outside the receive road, on a
// connection opened read-only (SQLITE_OPEN_READONLY): the file is never created,
// changed or locked for writing, and a console that is writing it at the same
// time goes on unhindered. SQLite itself may leave empty "-wal" and "-shm" files
// beside a WAL file that it found without them, where the folder lets it. Where
// it cannot make them (a read-only folder or medium) and no "-wal" file is there,
// no console can be writing the file: it is then read as it stands (SQLite's
// immutable open), which needs neither.

#include <QString>

#include <memory>

#include "common/fallo.h"
#include "store/motor.h"

namespace corvane {

// Fails unless `ruta` is an existing SQLite database that holds the event
// table: kArchivoNoEncontrado when the file is missing, is no file or cannot be
// opened; kNoEsBaseDeDatos when it is not a database or has no event table; the
// number of SQLite's code otherwise (a file locked for longer than about 5 s:
// kBloqueada). The detail: the check's own Spanish reason, or SQLite's text.
Fallo comprobar_base_legible(const QString& ruta);

// The store of a query over the event file `ruta`, checked as
// comprobar_base_legible checks it: it reads and lists, and writes nothing (no
// journal mode set, no table or index created; a statement that writes fails).
Fallo abrir_base_lectura(const QString& ruta, std::unique_ptr<BaseDatos>& base);

// Copies the event database `origen` into `destino`, an existing empty file,
// with SQLite's online backup: every row committed when the copy starts, those
// still in the "-wal" file included; none of a transaction still open. The copy
// is one self-contained file in rollback-journal mode. Waits up to about 10 s
// for a source locked by a writer. A failure leaves `destino` as SQLite left it;
// the caller removes it.
Fallo copiar_base(const QString& origen, const QString& destino);

} // namespace corvane
