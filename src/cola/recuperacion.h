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

#include "common/fallo.h"
#include "evento/filas.h"
#include "store/alarmas.h"

namespace corvane {

// An event row of the queue and its sequence number.
struct EventoRecuperado {
    qint64 secuencia = 0;
    FilaEvento fila;
    QString identidad; // the key it was queued under; empty: the queue's identity

    bool operator==(const EventoRecuperado&) const = default;
};

// What a damaged queue file still holds.
struct ColaRecuperada {
    std::vector<EventoRecuperado> eventos; // in sequence order, each number once
    std::vector<AlarmaPendiente> alarmas;  // the same
    QString identidad;                     // empty: not readable
    // Records found whose payload goes on in overflow pages (a queue's rows are
    // far shorter than a page): not read.
    int desbordadas = 0;

    // Adds the rows of `otra` whose sequence numbers this one lacks, and its
    // identity when this one has none; keeps the order.
    void unir(const ColaRecuperada& otra);
};

// Every row of the queue's tables in the table leaf pages of `archivo` (the
// bytes of a queue file) and of the frames of `wal` (its write-ahead log): a
// record shaped as a row of pendientes or of alarmas, and the identity (a record
// of one text that is a UUID). The page size is the one of 512 to 65536 bytes
// that finds the most rows, the header's on a tie.
// A page cut short at the end of the file is not read. Rows are never updated in
// the queue, so copies of one sequence number (a page in the file and in the
// log, a freed page not yet reused) hold the same values: the first found stays.
ColaRecuperada explorar_paginas(const QByteArray& archivo, const QByteArray& wal = {});

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
