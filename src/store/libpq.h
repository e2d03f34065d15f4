#pragma once
// libpq, loaded at run time (dlopen) the first time a central server is used,
// not with the program: it brings a dozen libraries (TLS, Kerberos, LDAP) that a
// console without a central server never needs. The Qt driver loads the same
// library, so a connection that Qt opened can be driven with these functions too.

#include <libpq-fe.h>

#include "common/fallo.h"

namespace corvane {

#define CORVANE_FUNCIONES_PQ(X)                                                                    \
    X(PQcancel)                                                                                    \
    X(PQclear) X(PQconndefaults) X(PQconninfoFree) X(PQconnectPoll) X(PQconnectStartParams)        \
        X(PQconnectionNeedsPassword) X(PQconsumeInput) X(PQerrorMessage) X(PQexec) X(PQfinish)     \
            X(PQflush) X(PQfreeCancel) X(PQfreemem) X(PQgetCancel) X(PQgetCopyData) X(PQgetResult) \
                X(PQgetvalue) X(PQisBusy) X(PQntuples) X(PQputCopyData) X(PQputCopyEnd)            \
                    X(PQresultErrorField) X(PQresultErrorMessage) X(PQresultStatus) X(PQsendQuery) \
                        X(PQsendQueryParams) X(PQsetErrorVerbosity) X(PQsetNoticeProcessor)        \
                            X(PQsetnonblocking) X(PQsocket) X(PQstatus)

struct Libpq {
#define CORVANE_DECLARAR(f) decltype(&::f) f = nullptr;
    CORVANE_FUNCIONES_PQ(CORVANE_DECLARAR)
#undef CORVANE_DECLARAR
    bool cargada = false; // every function above was found
};

// Loaded once, at the first call.
const Libpq& pq();

// The library's file; the failure of every use of libpq when it could not be loaded.
inline constexpr const char* kArchivoLibpq = "libpq.so.5";
Fallo fallo_sin_libpq();

// A failed statement's result (or, null, the connection's last failure) as a
// Fallo numbered by its SQLSTATE; one without a SQLSTATE is the connection's.
// The detail: "SQLSTATE XXXXX: the server's primary message" (in the server's
// language); `estado` the SQLSTATE of a statement's refusal.
Fallo fallo_de_resultado(PGconn* conn, const PGresult* r);

// A failed connection attempt (PQconnectPoll gave PGRES_POLLING_FAILED) as a
// Fallo: the SQLSTATE of the server's FATAL that ended it (the connection's
// error verbosity PQERRORS_VERBOSE puts it in the message: "FATAL:  3D000: ...";
// of several hosts tried, the last one's), or a password the server asked for
// and none was given: the login refused; no SQLSTATE: no server there.
Fallo fallo_de_conexion(PGconn* conn);

} // namespace corvane
