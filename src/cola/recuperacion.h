#pragma once
// A queue file found damaged at start (not a database, cut short, pages
// overwritten): it is moved aside under a dated name in the same folder, with
// its -wal and -shm companions, and every row that can still be read from it
// goes into a fresh queue at the original path, in sequence order, with its
// sequence number and the queue's identity, so that the target's control record
// still stores each row once. A file that cannot be written, or a folder that
// cannot take a new file, is not damaged: nothing is moved.
//
// Rows are read first as SQLite reads them (each table in sequence order, up to
// its first unreadable page); then every page of the file and of its write-ahead
// log is decoded by hand (the file format's table leaf pages and their records),
// which finds the rows of pages that SQLite no longer reaches. A new row's
// sequence number comes after every number the old queue may have given.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

#include "cola/paginas_cola.h"
#include "common/fallo.h"
#include "evento/filas.h"
#include "store/alarmas.h"

namespace corvane {

// What the start did with the queue file.
struct Recuperacion {
    QString apartada;            // the damaged file's new path; empty when nothing was moved
    qint64 eventos = 0;          // event rows recovered into the fresh queue
    qint64 alarmas = 0;          // alarm-table writes recovered
    bool identidadNueva = false; // the old identity was not readable
};

// At start, before any store opens the queue at `ruta`: a damaged file is
// replaced as above, its new name dated by `momento`. A missing or healthy file
// is left as it is. A Fallo: the file could not be read or the fresh queue could
// not be written (read-only file or folder, full disk); nothing was moved.
Fallo recuperar_cola(const QString& ruta, const QDateTime& momento, Recuperacion& r);

} // namespace corvane
