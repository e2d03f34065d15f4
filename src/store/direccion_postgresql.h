#pragma once
// The address of a central PostgreSQL server in libpq's URI syntax, read into
// its parts for Qt's QPSQL driver, which takes a host, a port and options, not a
// URI (the forwarder hands the URI to libpq as it is):
//
//   postgresql://[usuario[:clave]@][servidor[:puerto]][,servidor[:puerto]...][/base][?nombre=valor[&...]]
//
// Several hosts are tried in order; with target_session_attrs=read-write libpq
// keeps the first that takes writes, the primary after a standby's promotion.
// Any part may be percent-encoded; an IPv6 host is written in brackets. The
// parameters host, port, dbname, user and password replace what the URI's
// other parts say, as libpq reads them.

#include <QString>

#include <utility>
#include <vector>

#include "common/fallo.h"

namespace corvane {

struct DireccionPostgreSQL {
    QString usuario;
    QString clave;
    QString base;
    std::vector<QString> servidores; // in the order they are tried
    std::vector<QString> puertos;    // one per host, or one for all; "" where none is given
    // The other parameters, decoded, in the URI's order.
    std::vector<std::pair<QString, QString>> parametros;
};

// Reads `url` into `d`. A URI that libpq would refuse, or one naming no host,
// fails with fallos::kArchivoNoEncontrado ("dirección de base no válida" and why).
Fallo leer_direccion_postgresql(const QString& url, DireccionPostgreSQL& d);

} // namespace corvane
