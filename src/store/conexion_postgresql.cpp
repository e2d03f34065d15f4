#include "store/conexion_postgresql.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

#include <atomic>
#include <initializer_list>

#include "common/registro_errores.h"
#include "store/cliente_pq.h"
#include "store/direccion_postgresql.h"
#include "store/libpq.h"

namespace corvane {
namespace {

// The port of a host the URL names none for.
const QString kPuertoPorOmision = QStringLiteral("5432");
// Seconds a connection attempt may take for each host (connect_timeout).
constexpr int kEsperaConexionS = 5;

// A value of libpq's connection string: in single quotes, a quote or backslash
// inside escaped with a backslash.
QString entre_comillas(QString valor) {
    valor.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + valor + QLatin1Char('\'');
}

} // namespace

namespace {

// The values libpq takes for its parameters of a fixed set, in libpq 15's words.
struct ValoresParametro {
    const char* nombre;
    std::initializer_list<const char*> valores;
};
const ValoresParametro kValoresParametros[] = {
    {"sslmode", {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"}},
    {"gssencmode", {"disable", "prefer", "require"}},
    {"channel_binding", {"disable", "prefer", "require"}},
    {"target_session_attrs", {"any", "read-write", "read-only", "primary", "standby", "prefer-standby"}},
};

// A parameter libpq would refuse at the first connection, refused now: a name it
// does not know (from libpq's own list, when the library can be loaded), or a
// value outside the set of a parameter of fixed values.
Fallo revisar_parametro(const QString& nombre, const QString& valor) {
    const auto fallo = [](const QString& por) {
        return Fallo{fallos::kArchivoNoEncontrado, QStringLiteral("dirección de base no válida: ") + por};
    };
    if (pq().cargada) {
        bool conocido = false;
        if (PQconninfoOption* opciones = pq().PQconndefaults()) {
            for (const PQconninfoOption* o = opciones; o->keyword != nullptr && !conocido; ++o)
                conocido = nombre == QLatin1String(o->keyword);
            pq().PQconninfoFree(opciones);
        } else {
            conocido = true; // no list to look in: libpq will tell
        }
        if (!conocido) return fallo(QStringLiteral("parámetro desconocido «%1»").arg(nombre));
    }
    for (const ValoresParametro& p : kValoresParametros) {
        if (nombre != QLatin1String(p.nombre)) continue;
        QStringList admitidos;
        for (const char* v : p.valores) admitidos << QLatin1String(v);
        if (admitidos.contains(valor)) return {};
        return fallo(QStringLiteral("«%1» no es un valor de %2 (%3)").arg(valor, nombre, admitidos.join(QStringLiteral(", "))));
    }
    return {};
}

} // namespace

Fallo ConexionPostgreSQL::leer(const QString& url, const QString& aplicacion,
                               ConexionPostgreSQL& c) {
    c.pares_.clear();
    DireccionPostgreSQL d;
    if (Fallo f = leer_direccion_postgresql(url, d)) return f;
    c.servidores_ = static_cast<int>(d.servidores.size());
    const auto poner = [&c](const char* clave, const QString& valor) {
        if (!valor.isEmpty()) c.pares_.emplace_back(QString::fromLatin1(clave), valor);
    };
    QStringList puertos;
    for (const QString& p : d.puertos) puertos << (p.isEmpty() ? kPuertoPorOmision : p);
    // One port for every host is given once.
    if (puertos.count(puertos.front()) == puertos.size()) puertos = puertos.mid(0, 1);
    poner("host", QStringList(d.servidores.begin(), d.servidores.end()).join(QLatin1Char(',')));
    poner("port", puertos.join(QLatin1Char(',')));
    poner("dbname", d.base);
    poner("user", d.usuario);
    poner("password", d.clave);
    poner("connect_timeout", QString::number(kEsperaConexionS));
    poner("keepalives", QStringLiteral("1"));
    poner("keepalives_idle", QStringLiteral("5"));
    poner("keepalives_interval", QStringLiteral("2"));
    poner("keepalives_count", QStringLiteral("3"));
    poner("tcp_user_timeout", QStringLiteral("10000"));
    poner("options", QStringLiteral("-c client_min_messages=error"));
    for (const auto& [nombre, valor] : d.parametros) {
        if (Fallo f = revisar_parametro(nombre, valor)) return f;
        if (valor.contains(QLatin1Char(';')))
            return {
                fallos::kArchivoNoEncontrado,
                QStringLiteral("dirección de base no válida: «;» en el parámetro %1").arg(nombre)};
        c.pares_.emplace_back(nombre, valor);
    }
    poner("application_name", aplicacion);
    return {};
}

void ConexionPostgreSQL::ajustar(QSqlDatabase& db) const {
    // The driver writes host, port, user, password and database into libpq's
    // connection string, quoted; the options follow them as they are, each ";"
    // turned into a space.
    QStringList opciones;
    for (const auto& [clave, valor] : pares_) {
        if (clave == QLatin1String("host"))
            db.setHostName(valor);
        else if (clave == QLatin1String("port") && !valor.contains(QLatin1Char(',')))
            db.setPort(valor.toInt());
        else if (clave == QLatin1String("dbname"))
            db.setDatabaseName(valor);
        else if (clave == QLatin1String("user"))
            db.setUserName(valor);
        else if (clave == QLatin1String("password"))
            db.setPassword(valor);
        else
            opciones << clave + QLatin1Char('=') + entre_comillas(valor);
    }
    db.setConnectOptions(opciones.join(QLatin1Char(' ')));
}

pg_conn* conexion_pq(const QSqlDatabase& db) {
    if (!db.isValid() || db.driver() == nullptr) return nullptr;
    const QVariant manejador = db.driver()->handle();
    // The type's name as Qt spells it: the typedef's or the struct's.
    const bool esConexion = qstrcmp(manejador.typeName(), "PGconn*") == 0 ||
                            qstrcmp(manejador.typeName(), "pg_conn*") == 0;
    return esConexion ? *static_cast<PGconn* const*>(manejador.constData()) : nullptr;
}

void callar_avisos(pg_conn* conn) {
    if (conn == nullptr || !pq().cargada) return;
    pq().PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
}

Fallo ConexionPostgreSQL::abrir(QSqlDatabase& db) const {
    if (db.open()) {
        callar_avisos(conexion_pq(db));
        return {};
    }
    static const std::atomic<bool> nunca{false};
    ClientePq cliente(nunca);
    // libpq's non-blocking start leaves connect_timeout to its caller: the attempt
    // is bounded as Qt's blocking one is, for each host.
    Fallo f = cliente.conectar(*this, kEsperaConexionS * 1000 * servidores_);
    // A server that took this attempt was not there for Qt's a moment ago.
    return f ? f
             : Fallo{fallos::kConexionPerdida, QStringLiteral("el servidor no aceptó la conexión")};
}

void ConexionPostgreSQL::parametros(ParametrosPq& p) const {
    p.textos.clear();
    p.textos.reserve(pares_.size() * 2);
    for (const auto& [clave, valor] : pares_) {
        p.textos.push_back(clave.toUtf8());
        p.textos.push_back(valor.toUtf8());
    }
    p.claves.clear();
    p.valores.clear();
    for (size_t i = 0; i < p.textos.size(); i += 2) {
        p.claves.push_back(p.textos[i].constData());
        p.valores.push_back(p.textos[i + 1].constData());
    }
    p.claves.push_back(nullptr);
    p.valores.push_back(nullptr);
}

} // namespace corvane
