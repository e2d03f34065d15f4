#pragma once
// The engines' own failure codes as the failure numbers of error.log
// (common/registro_errores.h). Pure functions of the code.

#include <QSqlError>
#include <QString>

#include "store/motor.h"

namespace corvane {

// SQLite's result code (extended codes are reduced to their primary code).
qint32 numero_sqlite(int codigo);

// PostgreSQL's SQLSTATE and the kind of error the driver reported (a connection
// error often comes without any SQLSTATE).
qint32 numero_postgresql(const QString& sqlstate, QSqlError::ErrorType tipo);

// What a batch refused by a server with SQLSTATE `estado` says of its rows.
// The rule, by SQLSTATE class, never by the server's text:
//  - Pasajera: the server, the connection or the moment (08 connection, 53
//    insufficient resources, 57P shutdown, 40 serialization or deadlock, 55 lock
//    not available, 25 read-only transaction after a failover, 28 login, 3D
//    database, 58 and XX the server's own faults) and any failure without a
//    SQLSTATE: the same batch goes again later, nothing is set apart.
//  - TiempoAgotado: 57014 query_canceled (statement_timeout): the batch was too
//    big for the server's limit; a smaller one goes next.
//  - Fila: a refusal of some row's values (22 data exception, 23 integrity
//    constraint, 44 WITH CHECK OPTION): the batch is split until the one row is
//    found, and only that row is set apart.
//  - Destino: everything else, 42 above all (an undefined or changed column or
//    table, a missing privilege) and P0 (an exception a trigger raises, which
//    may well refuse every row): a fault of the target table that every row
//    meets, the first one alone as well; rows wait, in order, until it is mended.
enum class ClaseRechazo { Pasajera, TiempoAgotado, Fila, Destino };
ClaseRechazo clase_de_rechazo(const QString& estado);

// A Qt SQL error of either engine as a Fallo; never number 0. A PostgreSQL
// one's detail is its SQLSTATE, never the server's text.
Fallo fallo_de(const QSqlError& error, Dialecto dialecto);

} // namespace corvane
