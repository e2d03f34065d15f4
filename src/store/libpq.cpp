#include "store/libpq.h"

#include <dlfcn.h>

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

Fallo fallo_sin_libpq() {
    return {fallos::kConexionPerdida, QStringLiteral("no se pudo cargar %1").arg(QLatin1String(kArchivoLibpq))};
}

Fallo fallo_de_resultado(PGconn* conn, const PGresult* r) {
    const char* estado = r != nullptr ? pq().PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
    const QString sqlstate = QString::fromLatin1(estado != nullptr ? estado : "");
    const char* mensaje = r != nullptr ? pq().PQresultErrorMessage(r) : pq().PQerrorMessage(conn);
    return {numero_postgresql(sqlstate, sqlstate.isEmpty() ? QSqlError::ConnectionError : QSqlError::StatementError),
            QString::fromUtf8(mensaje).trimmed()};
}

} // namespace corvane
