#include "store/libpq.h"

#include <dlfcn.h>

#include <QRegularExpression>

#include "common/registro_errores.h"
#include "store/errores_motor.h"

namespace corvane {

const Libpq& pq() {
    static const Libpq libpq = [] {
        Libpq l;
        void* h = ::dlopen(kArchivoLibpq, RTLD_NOW | RTLD_LOCAL);
        if (h == nullptr) return l;
        bool todas = true;
#define CORVANE_CARGAR(f)                                                                          \
    l.f = reinterpret_cast<decltype(&::f)>(::dlsym(h, #f));                                        \
    todas = todas && l.f != nullptr;
        CORVANE_FUNCIONES_PQ(CORVANE_CARGAR)
#undef CORVANE_CARGAR
        l.cargada = todas;
        return l;
    }();
    return libpq;
}

namespace {

// The SQLSTATE of the last server message in libpq's verbose form
// ("SEVERIDAD:  XXXXX: texto"); empty when there is none.
QString sqlstate_del_mensaje(const char* mensaje) {
    static const QRegularExpression patron(QStringLiteral(":  ([0-9A-Z]{5}): "));
    QString ultimo;
    for (auto i = patron.globalMatch(QString::fromUtf8(mensaje != nullptr ? mensaje : "")); i.hasNext();)
        ultimo = i.next().captured(1);
    return ultimo;
}

QString detalle_de(const QString& sqlstate) {
    return sqlstate.isEmpty() ? QString() : QStringLiteral("SQLSTATE ") + sqlstate;
}

} // namespace

Fallo fallo_sin_libpq() {
    return {fallos::kConexionPerdida, QStringLiteral("no se pudo cargar %1").arg(QLatin1String(kArchivoLibpq))};
}

Fallo fallo_de_resultado(PGconn* conn, const PGresult* r) {
    const char* estado = r != nullptr ? pq().PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const QString sqlstate = estado != nullptr ? QString::fromLatin1(estado)
                             : r == nullptr   ? sqlstate_del_mensaje(pq().PQerrorMessage(conn))
                                              : QString();
    // A statement the server refused for its rows or its table: its SQLSTATE
    // and its primary message, in whatever language the server speaks (a
    // message names tables, columns and constraints, never the login's
    // password). A passing fault of the server or the connection (a shutdown,
    // a lock, a timeout) is told in our words alone, by its number.
    const bool refusal = !sqlstate.isEmpty() && (clase_de_rechazo(sqlstate) == ClaseRechazo::Fila ||
                                                 clase_de_rechazo(sqlstate) == ClaseRechazo::Destino);
    const char* mensaje =
        r != nullptr && refusal ? pq().PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    QString detalle = detalle_de(sqlstate);
    if (mensaje != nullptr && *mensaje != '\0')
        detalle += QStringLiteral(": ") + QString::fromUtf8(mensaje).simplified();
    return {numero_postgresql(sqlstate, r == nullptr || sqlstate.isEmpty()
                                            ? QSqlError::ConnectionError
                                            : QSqlError::StatementError),
            detalle, r != nullptr ? sqlstate : QString()};
}

Fallo fallo_de_conexion(PGconn* conn) {
    if (pq().PQconnectionNeedsPassword(conn) != 0)
        return {fallos::kAccesoRechazado, QStringLiteral("el servidor pide una contraseña")};
    const QString sqlstate = sqlstate_del_mensaje(pq().PQerrorMessage(conn));
    return {numero_postgresql(sqlstate, QSqlError::ConnectionError), detalle_de(sqlstate)};
}

} // namespace corvane
