#include "store/errores_motor.h"

#include "common/registro_errores.h"

namespace corvane {

qint32 numero_sqlite(int codigo) {
    switch (codigo & 0xff) {
    case 1:  // SQLITE_ERROR: syntax, unknown table or column
    case 19: // SQLITE_CONSTRAINT
    case 20: // SQLITE_MISMATCH
    case 25: // SQLITE_RANGE
        return fallos::kSentenciaRechazada;
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return fallos::kBloqueada;
    case 8: // SQLITE_READONLY
        return fallos::kSoloLectura;
    case 13: // SQLITE_FULL
        return fallos::kDiscoLleno;
    case 14: // SQLITE_CANTOPEN
        return fallos::kArchivoNoEncontrado;
    case 26: // SQLITE_NOTADB
        return fallos::kNoEsBaseDeDatos;
    default:
        return fallos::kMotorGeneral;
    }
}

qint32 numero_postgresql(const QString& estado, QSqlError::ErrorType tipo) {
    // Class 28: the login refused (a wrong password, an unknown role).
    if (estado.startsWith(QLatin1String("28"))) return fallos::kAccesoRechazado;
    // Class 08 connection exceptions, 57P operator intervention (shutdown); no
    // SQLSTATE on a connection error: the server is not there.
    if (estado.startsWith(QLatin1String("08")) || estado.startsWith(QLatin1String("57P")) ||
        (estado.isEmpty() && tipo == QSqlError::ConnectionError))
        return fallos::kConexionPerdida;
    if (estado == QLatin1String("53100")) return fallos::kDiscoLleno;
    if (estado == QLatin1String("25006")) return fallos::kSoloLectura;
    if (estado == QLatin1String("55P03") || estado == QLatin1String("40P01")) return fallos::kBloqueada;
    if (estado == QLatin1String("3D000")) return fallos::kArchivoNoEncontrado;
    if (estado.startsWith(QLatin1String("42")) || estado.startsWith(QLatin1String("22")) ||
        estado.startsWith(QLatin1String("23")))
        return fallos::kSentenciaRechazada;
    // The driver loses the SQLSTATE when the server went away mid-statement.
    if (estado.isEmpty() && tipo == QSqlError::StatementError) return fallos::kConexionPerdida;
    return fallos::kMotorGeneral;
}

ClaseRechazo clase_de_rechazo(const QString& estado) {
    if (estado.size() != 5) return ClaseRechazo::Pasajera;
    if (estado == QLatin1String("57014")) return ClaseRechazo::TiempoAgotado;
    const QStringView clase = QStringView(estado).left(2);
    for (const char* c : {"08", "53", "57", "40", "55", "25", "28", "3D", "58", "XX"})
        if (clase == QLatin1String(c)) return ClaseRechazo::Pasajera;
    for (const char* c : {"22", "23", "44"})
        if (clase == QLatin1String(c)) return ClaseRechazo::Fila;
    return ClaseRechazo::Destino;
}

Fallo fallo_de(const QSqlError& error, Dialecto dialecto) {
    if (dialecto == Dialecto::PostgreSQL) {
        // The server's text is in its own language: the detail names the SQLSTATE.
        const QString sqlstate = error.nativeErrorCode();
        const qint32 numero = numero_postgresql(sqlstate, error.type());
        return {numero, sqlstate.isEmpty() ? mensaje_de_error(numero)
                                           : QStringLiteral("SQLSTATE ") + sqlstate};
    }
    qint32 numero = fallos::kMotorGeneral;
    bool ok = false;
    const int codigo = error.nativeErrorCode().toInt(&ok);
    if (ok) numero = numero_sqlite(codigo);
    else if (error.type() == QSqlError::ConnectionError) numero = fallos::kArchivoNoEncontrado;
    if (numero == 0) numero = fallos::kMotorGeneral;
    return {numero, error.text()};
}

} // namespace corvane
