#pragma once
// A client of a PostgreSQL server over libpq's non-blocking interface: every
// wait on the server is bounded and watches a stop flag, so that a frozen,
// unreachable or slow server holds the calling thread no longer than the limit,
// and a stop request ends the wait within 200 ms. A failure that finds the
// connection lost closes it; a failed statement inside a transaction rolls it
// back. Failures are numbered by SQLSTATE (store/libpq.h), never by the server's
// text, which is in the server's language.

#include <QByteArray>
#include <QStringList>

#include <atomic>
#include <chrono>

#include "common/fallo.h"

struct pg_conn;

namespace corvane {

class ConexionPostgreSQL;

// Longest wait for one answer of the server before the connection is given up.
inline constexpr int kEsperaRespuestaMs = 20000;
// Milliseconds a connection attempt may take, every host of the URL included.
inline constexpr int kEsperaConexionPqMs = 20000;

class ClientePq {
public:
    // `parar`: when it turns true, every wait gives up.
    explicit ClientePq(const std::atomic<bool>& parar) : parar_(parar) {}
    ~ClientePq() { cerrar(); }
    ClientePq(const ClientePq&) = delete;
    ClientePq& operator=(const ClientePq&) = delete;

    // Connects with `c`'s parameters within `limiteMs`; on failure the connection
    // is closed and the failure says why: fallos::kAccesoRechazado (login
    // refused), kArchivoNoEncontrado (no such database), kConexionPerdida (no
    // server there, or it is shutting down or starting).
    Fallo conectar(const ConexionPostgreSQL& c, int limiteMs);
    void cerrar();
    bool conectado() const { return conn_ != nullptr; }

    // Runs `sentencia` (one statement or several separated by ";"); the first
    // failure wins. With `valor`, the first column of the first row read as a
    // number.
    // `limiteMs`: the longest wait for the answer.
    Fallo ejecutar(const char* sentencia, qint64* valor = nullptr, int limiteMs = kEsperaRespuestaMs);
    // Runs the one statement `sentencia` with its "?" marks bound in order to
    // `valores` as text parameters (PQsendQueryParams): a value never becomes part
    // of the statement's text. With `valor`, as above.
    Fallo ejecutar(const QString& sentencia, const QStringList& valores, qint64* valor = nullptr);
    // `sentencia`, a COPY ... FROM STDIN, with `datos` in COPY's text form.
    Fallo copiar(const char* sentencia, const QByteArray& datos);
    // After a failed statement inside a transaction: undo it, or drop the connection.
    Fallo abandonar();

private:
    using Limite = std::chrono::steady_clock::time_point;

    Fallo fallarConexion();
    Fallo perder(Fallo f);
    Fallo perderConexion();
    Fallo esperar(bool escribir, Limite limite);
    Fallo vaciar(Limite limite);
    Fallo resultados(Limite limite, qint64* valor, bool* copiaLista = nullptr);

    const std::atomic<bool>& parar_;
    pg_conn* conn_ = nullptr;
};

} // namespace corvane
