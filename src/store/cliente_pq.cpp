#include "store/cliente_pq.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "common/registro_errores.h"
#include "store/conexion_postgresql.h"
#include "store/libpq.h"

namespace corvane {

using Monotono = std::chrono::steady_clock;

namespace {

// Bytes handed to libpq at a time during a COPY.
constexpr qsizetype kTrozoCopia = 256 * 1024;

Monotono::time_point limite_de_respuesta(int ms = kEsperaRespuestaMs) {
    return Monotono::now() + std::chrono::milliseconds(ms);
}

} // namespace

void ClientePq::cerrar() {
    if (conn_ != nullptr) pq().PQfinish(conn_);
    conn_ = nullptr;
}

Fallo ClientePq::conectar(const ConexionPostgreSQL& c, int limiteMs) {
    cerrar();
    if (!pq().cargada)
        return fallo_sin_libpq();
    ParametrosPq p;
    c.parametros(p);
    conn_ = pq().PQconnectStartParams(p.claves.data(), p.valores.data(), 0);
    if (conn_ == nullptr)
        return {fallos::kConexionPerdida, QStringLiteral("sin memoria para conectar")};
    // A FATAL of the server during the start (login refused, no such database,
    // shutting down) then carries its SQLSTATE in the connection's message,
    // whatever the server's language.
    pq().PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
    // The server's notices are not for the operator.
    callar_avisos(conn_);
    const auto limite = Monotono::now() + std::chrono::milliseconds(limiteMs);
    for (;;) {
        const PostgresPollingStatusType s = pq().PQconnectPoll(conn_);
        if (s == PGRES_POLLING_OK) break;
        if (s == PGRES_POLLING_FAILED) return fallarConexion();
        if (Fallo f = esperar(s == PGRES_POLLING_WRITING, limite)) return perder(f);
    }
    if (pq().PQsetnonblocking(conn_, 1) != 0) return fallarConexion();
    return {};
}

Fallo ClientePq::fallarConexion() {
    Fallo f = fallo_de_conexion(conn_);
    cerrar();
    return f;
}

Fallo ClientePq::perder(Fallo f) {
    cerrar();
    return f;
}

Fallo ClientePq::perderConexion() {
    return perder({fallos::kConexionPerdida, QStringLiteral("conexión perdida")});
}

// Waits until the socket can be read (or written), the limit passes, or a stop
// is requested.
Fallo ClientePq::esperar(bool escribir, Limite limite) {
    for (;;) {
        if (parar_.load()) return {fallos::kConexionPerdida, QStringLiteral("detenido")};
        const auto resto =
            std::chrono::duration_cast<std::chrono::milliseconds>(limite - Monotono::now()).count();
        if (resto <= 0)
            return {fallos::kConexionPerdida, QStringLiteral("el servidor no responde")};
        pollfd p{pq().PQsocket(conn_), static_cast<short>(escribir ? POLLOUT : POLLIN), 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<qint64>(resto, 200)));
        if (r > 0) return {};
        if (r < 0 && errno != EINTR)
            return {fallos::kConexionPerdida, QStringLiteral("error de espera")};
    }
}

// Sends what libpq holds back in non-blocking mode.
Fallo ClientePq::vaciar(Limite limite) {
    for (;;) {
        const int r = pq().PQflush(conn_);
        if (r == 0) return {};
        if (r < 0) return perderConexion();
        if (Fallo f = esperar(true, limite)) return perder(f);
        if (!pq().PQconsumeInput(conn_)) return perderConexion();
    }
}

// Collects every result of the statements sent; the first failure wins. With
// `valor`, the first column of the first row read as a number.
Fallo ClientePq::resultados(Limite limite, qint64* valor, bool* copiaLista) {
    Fallo primero;
    for (;;) {
        while (pq().PQisBusy(conn_)) {
            if (Fallo f = esperar(false, limite)) return perder(f);
            if (!pq().PQconsumeInput(conn_)) return perderConexion();
        }
        PGresult* r = pq().PQgetResult(conn_);
        if (r == nullptr) return primero;
        const ExecStatusType s = pq().PQresultStatus(r);
        if (s == PGRES_COPY_IN && copiaLista != nullptr) {
            *copiaLista = true;
            pq().PQclear(r);
            return primero;
        }
        if (s == PGRES_FATAL_ERROR && !primero) {
            primero = fallo_de_resultado(conn_, r);
        } else if (s == PGRES_TUPLES_OK && valor != nullptr && pq().PQntuples(r) > 0) {
            *valor = QByteArray(pq().PQgetvalue(r, 0, 0)).toLongLong();
        }
        pq().PQclear(r);
        if (pq().PQstatus(conn_) == CONNECTION_BAD)
            return primero ? perder(primero) : perderConexion();
    }
}

Fallo ClientePq::ejecutar(const char* sentencia, qint64* valor, int limiteMs) {
    const auto limite = limite_de_respuesta(limiteMs);
    if (!pq().PQsendQuery(conn_, sentencia)) return perderConexion();
    if (Fallo f = vaciar(limite)) return f;
    Fallo f = resultados(limite, valor);
    if (f && conn_ != nullptr) static_cast<void>(abandonar());
    return f;
}

Fallo ClientePq::ejecutar(const QString& sentencia, const QStringList& valores, qint64* valor) {
    // libpq numbers its parameters: the n-th "?" becomes $n.
    QByteArray texto;
    int n = 0;
    for (const QChar c : sentencia) {
        if (c == QLatin1Char('?'))
            texto += '$' + QByteArray::number(++n);
        else
            texto += QString(c).toUtf8();
    }
    std::vector<QByteArray> utf8;
    std::vector<const char*> punteros;
    for (const QString& v : valores) utf8.push_back(v.toUtf8());
    for (const QByteArray& v : utf8) punteros.push_back(v.constData());
    const auto limite = limite_de_respuesta();
    if (!pq().PQsendQueryParams(conn_, texto.constData(), static_cast<int>(punteros.size()),
                                nullptr, punteros.data(), nullptr, nullptr, 0))
        return perderConexion();
    if (Fallo f = vaciar(limite)) return f;
    Fallo f = resultados(limite, valor);
    if (f && conn_ != nullptr) static_cast<void>(abandonar());
    return f;
}

Fallo ClientePq::copiar(const char* sentencia, const QByteArray& datos) {
    const auto limite = limite_de_respuesta();
    if (!pq().PQsendQuery(conn_, sentencia)) return perderConexion();
    if (Fallo f = vaciar(limite)) return f;
    bool lista = false;
    if (Fallo f = resultados(limite, nullptr, &lista); f || !lista) {
        if (conn_ != nullptr) static_cast<void>(abandonar());
        return f ? f : Fallo{fallos::kMotorGeneral, QStringLiteral("COPY no comenzó")};
    }
    qsizetype enviado = 0;
    while (enviado < datos.size()) {
        const qsizetype trozo = std::min<qsizetype>(datos.size() - enviado, kTrozoCopia);
        const int r =
            pq().PQputCopyData(conn_, datos.constData() + enviado, static_cast<int>(trozo));
        if (r < 0) return perderConexion();
        if (r == 0) {
            if (Fallo f = esperar(true, limite)) return perder(f);
            continue;
        }
        enviado += trozo;
        if (Fallo f = vaciar(limite)) return f;
    }
    for (;;) {
        const int r = pq().PQputCopyEnd(conn_, nullptr);
        if (r < 0) return perderConexion();
        if (r == 1) break;
        if (Fallo f = esperar(true, limite)) return perder(f);
    }
    if (Fallo f = vaciar(limite)) return f;
    Fallo f = resultados(limite, nullptr);
    if (f && conn_ != nullptr) static_cast<void>(abandonar());
    return f;
}

Fallo ClientePq::abandonar() {
    const auto limite = limite_de_respuesta();
    if (!pq().PQsendQuery(conn_, "ROLLBACK")) return perder({});
    if (Fallo f = vaciar(limite)) return f;
    return resultados(limite, nullptr);
}

} // namespace corvane
