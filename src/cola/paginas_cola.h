#pragma once
// The rows of a queue file read page by page, without SQLite: the file format's
// table leaf pages and their records, in the file and in the frames of its
// write-ahead log. For a file that SQLite no longer reads whole.

#include <QByteArray>
#include <QString>

#include <vector>

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

// A file cut short: not a whole number of pages, or, when no write-ahead log
// stands beside it (`conLog` false), fewer pages than its header counts.
// `cabecera`: the file's first 100 bytes; `largo`: its size.
bool cola_cortada(const QByteArray& cabecera, qint64 largo, bool conLog);

} // namespace corvane
