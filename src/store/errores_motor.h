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

// A Qt SQL error of either engine as a Fallo; never number 0. A PostgreSQL
// one's detail is its SQLSTATE, never the server's text.
Fallo fallo_de(const QSqlError& error, Dialecto dialecto);

} // namespace corvane
