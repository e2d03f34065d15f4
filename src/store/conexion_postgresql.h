#pragma once
// Every connection to a central PostgreSQL server, Qt's QPSQL driver's and
// libpq's alike, is built here from one postgresql:// URL
// (store/direccion_postgresql.h), with the same hosts, ports, user, database and
// options:
//  - connect_timeout 5 s for each host (libpq's non-blocking start leaves it to
//    the caller's own bound); keepalives every 2 s after 5 s idle, 3
//    lost ones and a 10 s user timeout end a connection whose peer vanished;
//  - the server's notices and warnings (one as it shuts down under the
//    connection) kept by the server (client_min_messages=error): libpq would
//    print them, in the server's language, on standard error;
//  - the URL's other parameters after those, so that the URL's own wins
//    (target_session_attrs, sslmode, a connect_timeout of its own...);
//  - last, the name the caller lists the connection under (application_name).
// The password is the URL's; without one libpq looks for it in PGPASSWORD and
// ~/.pgpass by itself. A host the URL names no port for gets 5432.

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

#include <utility>
#include <vector>

#include "common/fallo.h"

struct pg_conn;

namespace corvane {

// The libpq connection under an open QPSQL connection `db`, or null.
pg_conn* conexion_pq(const QSqlDatabase& db);

// The server's notices on connection `conn` (libpq's or under Qt's driver) go
// nowhere: libpq would print them on standard error in the server's language,
// among them the FATAL that a server shutting down sends to an idle
// connection. What fails is told through the failure, in our words.
void callar_avisos(pg_conn* conn);

// libpq's keyword and value arrays (PQconnectStartParams with expand_dbname 0),
// each ending in a null; valid while this lives.
struct ParametrosPq {
    ParametrosPq() = default;
    ParametrosPq(const ParametrosPq&) = delete;
    ParametrosPq& operator=(const ParametrosPq&) = delete;

    std::vector<QByteArray> textos;
    std::vector<const char*> claves;
    std::vector<const char*> valores;
};

class ConexionPostgreSQL {
public:
    // Reads `url`. `aplicacion`: the name the server lists the connection under
    // (pg_stat_activity), over the URL's; empty: the URL's, or none. Fails as
    // leer_direccion_postgresql does, and on a ";" in a parameter's value (Qt's
    // driver would turn it into a space).
    static Fallo leer(const QString& url, const QString& aplicacion, ConexionPostgreSQL& c);

    // Sets server, port, user, password, database and options of `db`, a QPSQL
    // connection not open.
    void ajustar(QSqlDatabase& db) const;
    // Opens `db` as ajustar left it, its notices silenced (callar_avisos). Qt's
    // driver tells no SQLSTATE of a failed open: the failure is numbered by one
    // libpq attempt with these parameters (a refused login, a missing database,
    // or a server that is not there).
    Fallo abrir(QSqlDatabase& db) const;

    void parametros(ParametrosPq& p) const;

private:
    // In libpq's order: a later keyword replaces an earlier one.
    std::vector<std::pair<QString, QString>> pares_;
    int servidores_ = 1;
};

} // namespace corvane
