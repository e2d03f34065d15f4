#include "store/reenvio.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "common/registro_errores.h"
#include "store/cola_pendientes.h"
#include "store/errores_motor.h"
#include "store/esquema.h"
#include "store/libpq.h"
#include "store/texto_copia.h"

namespace corvane {

using Monotono = std::chrono::steady_clock;

// Rows sent in one COPY: a few hundred kilobytes, one commit each.
constexpr int kFilasPorEnvio = 20000;
// Waits between attempts after a failure: from 2 s, doubling, at most 30 s.
constexpr int kPausaInicialMs = 2000;
constexpr int kPausaMaximaMs = 30000;
// Longest wait for one answer of the server before the connection is given up.
constexpr int kEsperaRespuestaMs = 20000;
// Attempts at removing from the queue a batch the server holds, each waiting the
// queue's own lock wait (300 ms).
constexpr int kIntentosBorrado = 20;

struct EstadoReenvio {
    QString cola;
    QString url;
    std::mutex mutex;
    std::condition_variable aviso;
    bool hayAviso = false;
    std::atomic<bool> parar{false};
    std::atomic<bool> fallando{false};
    std::atomic<qint64> movidas{0};
    std::vector<Fallo> fallos;
    std::atomic<qint32> ultimoNumero{0}; // written by the forwarder
    bool terminado = false;
    std::condition_variable fin;
};

namespace {

class Servidor {
public:
    explicit Servidor(EstadoReenvio& e) : e_(e) {}
    ~Servidor() { cerrar(); }

    void cerrar() {
        if (conn_ != nullptr) pq().PQfinish(conn_);
        conn_ = nullptr;
    }
    bool conectado() const { return conn_ != nullptr; }

    // Connects and makes sure of the tables; on failure the connection is closed.
    Fallo conectar() {
        cerrar();
        if (!pq().cargada)
            return fallo_sin_libpq();
        const QByteArray url = e_.url.toUtf8();
        // Keepalives and a user timeout notice a peer that vanished; the client
        // side waits below bound a server that stopped answering.
        const char* claves[] = {"dbname", "connect_timeout", "keepalives", "keepalives_idle",
                                "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                                "application_name", nullptr};
        const char* valores[] = {url.constData(), "5", "1", "5", "2", "3", "10000", "corvane", nullptr};
        conn_ = pq().PQconnectStartParams(claves, valores, 1);
        if (conn_ == nullptr) return {fallos::kConexionPerdida, QStringLiteral("sin memoria para conectar")};
        // The server's notices (a WARNING as it shuts down under the connection)
        // are not for the operator: libpq would print them, in English, on
        // standard error. What fails is told through the failure.
        pq().PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
        const auto limite = Monotono::now() + std::chrono::milliseconds(kEsperaRespuestaMs);
        for (;;) {
            const PostgresPollingStatusType s = pq().PQconnectPoll(conn_);
            if (s == PGRES_POLLING_OK) break;
            if (s == PGRES_POLLING_FAILED) return fallarConexion();
            if (Fallo f = esperar(s == PGRES_POLLING_WRITING, limite)) return perder(f);
        }
        if (pq().PQsetnonblocking(conn_, 1) != 0) return fallarConexion();
        // The schema, the queues' control table and the triggers, each created
        // only when missing.
        return ejecutar(esquema::asegurar_postgresql(true).toUtf8().constData());
    }

    // Sends `filas` (with sequence numbers above what the server holds for
    // `identidad`) and the control record in one transaction. `hasta`: the last
    // sequence number the server holds afterwards.
    Fallo enviar(const QString& identidad, const FilasPendientes& filas, qint64& hasta) {
        const std::string id = identidad.toStdString();
        std::string inicio = "BEGIN; INSERT INTO corvane_envios (cola, ultima_secuencia) VALUES ('" + id +
                             "', 0) ON CONFLICT (cola) DO NOTHING";
        if (Fallo f = ejecutar(inicio.c_str())) return f;
        qint64 ultima = 0;
        std::string consulta = "SELECT ultima_secuencia FROM corvane_envios WHERE cola = '" + id + "' FOR UPDATE";
        if (Fallo f = ejecutar(consulta.c_str(), &ultima)) return f;
        QByteArray datos;
        datos.reserve(filas.valores.size() + filas.valores.size() / 8);
        qint64 mayor = ultima;
        const char* valor = filas.valores.constData();
        for (const qint64 secuencia : filas.secuencias) {
            for (size_t c = 0; c < esquema::kColumnas.size(); ++c) {
                const size_t largo = std::strlen(valor);
                if (secuencia > ultima) agregar_copia(datos, valor, largo, c == 0);
                valor += largo + 1;
            }
            if (secuencia <= ultima) continue;
            datos += '\n';
            mayor = secuencia;
        }
        if (!datos.isEmpty()) {
            const std::string copia = "COPY " + esquema::kTabla.toStdString() + " (" + esquema::lista_columnas().toStdString() + ") FROM STDIN";
            if (Fallo f = copiar(copia.c_str(), datos)) return f;
        }
        const std::string fin = "UPDATE corvane_envios SET ultima_secuencia = " + std::to_string(mayor) +
                                " WHERE cola = '" + id + "'; COMMIT";
        if (Fallo f = ejecutar(fin.c_str())) return f;
        hasta = mayor;
        return {};
    }

private:
    Fallo fallarConexion() {
        const QString mensaje = QString::fromUtf8(pq().PQerrorMessage(conn_)).trimmed();
        cerrar();
        return {numero_conexion(mensaje), mensaje};
    }

    // What a failed connection attempt says, as a failure number: a missing
    // database, a refused login, or a server that is not there.
    static qint32 numero_conexion(const QString& mensaje) {
        if (mensaje.contains(QLatin1String("does not exist")) && mensaje.contains(QLatin1String("database")))
            return fallos::kArchivoNoEncontrado;
        if (mensaje.contains(QLatin1String("authentication failed")) ||
            (mensaje.contains(QLatin1String("role")) && mensaje.contains(QLatin1String("does not exist"))) ||
            mensaje.contains(QLatin1String("no password supplied")))
            return fallos::kAccesoRechazado;
        return fallos::kConexionPerdida;
    }

    Fallo perder(Fallo f) {
        cerrar();
        return f;
    }

    // Waits until the socket can be read (or written), the limit passes, or a stop
    // is requested.
    Fallo esperar(bool escribir, Monotono::time_point limite) {
        for (;;) {
            if (e_.parar.load()) return {fallos::kConexionPerdida, QStringLiteral("detenido")};
            const auto resto = std::chrono::duration_cast<std::chrono::milliseconds>(limite - Monotono::now()).count();
            if (resto <= 0) return {fallos::kConexionPerdida, QStringLiteral("el servidor no responde")};
            pollfd p{pq().PQsocket(conn_), static_cast<short>(escribir ? POLLOUT : POLLIN), 0};
            const int r = ::poll(&p, 1, static_cast<int>(std::min<qint64>(resto, 200)));
            if (r > 0) return {};
            if (r < 0 && errno != EINTR) return {fallos::kConexionPerdida, QStringLiteral("error de espera")};
        }
    }

    // Sends what libpq holds back in non-blocking mode.
    Fallo vaciar(Monotono::time_point limite) {
        for (;;) {
            const int r = pq().PQflush(conn_);
            if (r == 0) return {};
            if (r < 0) return perder({fallos::kConexionPerdida, QString::fromUtf8(pq().PQerrorMessage(conn_))});
            if (Fallo f = esperar(true, limite)) return perder(f);
            if (!pq().PQconsumeInput(conn_)) return perder({fallos::kConexionPerdida, QString::fromUtf8(pq().PQerrorMessage(conn_))});
        }
    }

    // Collects every result of the statements sent; the first failure wins. With
    // `valor`, the first column of the first row read as a number.
    Fallo resultados(Monotono::time_point limite, qint64* valor, bool* copiaLista = nullptr) {
        Fallo primero;
        for (;;) {
            while (pq().PQisBusy(conn_)) {
                if (Fallo f = esperar(false, limite)) return perder(f);
                if (!pq().PQconsumeInput(conn_))
                    return perder({fallos::kConexionPerdida, QString::fromUtf8(pq().PQerrorMessage(conn_))});
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
            if (pq().PQstatus(conn_) == CONNECTION_BAD) return perder(primero ? primero : Fallo{fallos::kConexionPerdida, QStringLiteral("conexión perdida")});
        }
    }

    Fallo ejecutar(const char* sentencia, qint64* valor = nullptr) {
        const auto limite = Monotono::now() + std::chrono::milliseconds(kEsperaRespuestaMs);
        if (!pq().PQsendQuery(conn_, sentencia))
            return perder({fallos::kConexionPerdida, QString::fromUtf8(pq().PQerrorMessage(conn_))});
        if (Fallo f = vaciar(limite)) return f;
        Fallo f = resultados(limite, valor);
        if (f && conn_ != nullptr) static_cast<void>(abandonar());
        return f;
    }

    Fallo copiar(const char* sentencia, const QByteArray& datos) {
        const auto limite = Monotono::now() + std::chrono::milliseconds(kEsperaRespuestaMs);
        if (!pq().PQsendQuery(conn_, sentencia))
            return perder({fallos::kConexionPerdida, QString::fromUtf8(pq().PQerrorMessage(conn_))});
        if (Fallo f = vaciar(limite)) return f;
        bool lista = false;
        if (Fallo f = resultados(limite, nullptr, &lista); f || !lista) {
            if (conn_ != nullptr) static_cast<void>(abandonar());
            return f ? f : Fallo{fallos::kMotorGeneral, QStringLiteral("COPY no comenzó")};
        }
        qsizetype enviado = 0;
        while (enviado < datos.size()) {
            const qsizetype trozo = std::min<qsizetype>(datos.size() - enviado, 256 * 1024);
            const int r = pq().PQputCopyData(conn_, datos.constData() + enviado, static_cast<int>(trozo));
            if (r < 0) return perder({fallos::kConexionPerdida, QString::fromUtf8(pq().PQerrorMessage(conn_))});
            if (r == 0) {
                if (Fallo f = esperar(true, limite)) return perder(f);
                continue;
            }
            enviado += trozo;
            if (Fallo f = vaciar(limite)) return f;
        }
        for (;;) {
            const int r = pq().PQputCopyEnd(conn_, nullptr);
            if (r < 0) return perder({fallos::kConexionPerdida, QString::fromUtf8(pq().PQerrorMessage(conn_))});
            if (r == 1) break;
            if (Fallo f = esperar(true, limite)) return perder(f);
        }
        if (Fallo f = vaciar(limite)) return f;
        Fallo f = resultados(limite, nullptr);
        if (f && conn_ != nullptr) static_cast<void>(abandonar());
        return f;
    }

    // After a failed statement inside the transaction: undo it, or drop the connection.
    Fallo abandonar() {
        const auto limite = Monotono::now() + std::chrono::milliseconds(kEsperaRespuestaMs);
        if (!pq().PQsendQuery(conn_, "ROLLBACK")) return perder({});
        if (Fallo f = vaciar(limite)) return f;
        return resultados(limite, nullptr);
    }

    EstadoReenvio& e_;
    PGconn* conn_ = nullptr;
};

// A failure is told once per outage: the same number again, before a batch has
// gone through, is the same failure.
void anotar(EstadoReenvio& e, Fallo f) {
    const bool repetida = e.fallando.exchange(true) && e.ultimoNumero.load() == f.numero;
    e.ultimoNumero.store(f.numero);
    if (repetida) return;
    const std::lock_guard<std::mutex> l(e.mutex);
    e.fallos.push_back(std::move(f));
}

// Removes from the queue the rows the server holds. The receive road's batch may
// hold the queue's write lock meanwhile: that is no failure, its commit is waited
// for, kIntentosBorrado times the queue's own lock wait at most.
Fallo borrar_enviadas(const EstadoReenvio& e, ColaPendientes& cola, qint64 hasta) {
    Fallo f;
    for (int i = 0; i < kIntentosBorrado; ++i) {
        f = cola.borrar_hasta(hasta);
        if (f.numero != fallos::kBloqueada || e.parar.load()) break;
    }
    return f;
}

void trabajar(const std::shared_ptr<EstadoReenvio>& estado) {
    EstadoReenvio& e = *estado;
    ColaPendientes cola;
    Servidor servidor(e);
    int pausaMs = 0;
    FilasPendientes filas;
    while (!e.parar.load()) {
        if (pausaMs > 0) {
            std::unique_lock<std::mutex> l(e.mutex);
            e.aviso.wait_for(l, std::chrono::milliseconds(pausaMs), [&] { return e.parar.load(); });
            if (e.parar.load()) break;
        }
        Fallo f;
        if (!cola.abierta()) f = cola.abrir(e.cola);
        if (!f) f = cola.leer(0, kFilasPorEnvio, filas);
        if (!f && filas.secuencias.empty()) {
            e.fallando.store(false);
            pausaMs = 0;
            std::unique_lock<std::mutex> l(e.mutex);
            e.aviso.wait_for(l, std::chrono::seconds(1), [&] { return e.hayAviso || e.parar.load(); });
            e.hayAviso = false;
            continue;
        }
        // The server is reached only when rows wait for it: a failure told is one
        // that keeps rows from being stored, and the operator hears of it.
        if (!f && !servidor.conectado()) f = servidor.conectar();
        qint64 hasta = 0;
        if (!f) f = servidor.enviar(cola.identidad(), filas, hasta);
        if (!f) f = borrar_enviadas(e, cola, hasta);
        if (f) {
            if (e.parar.load()) break;
            // The next attempt connects anew and looks at the tables again, so a
            // table dropped or renamed on the server is created again.
            servidor.cerrar();
            anotar(e, f);
            pausaMs = pausaMs == 0 ? kPausaInicialMs : std::min(pausaMs * 2, kPausaMaximaMs);
            continue;
        }
        e.movidas.fetch_add(static_cast<qint64>(filas.secuencias.size()));
        e.fallando.store(false);
        pausaMs = 0;
    }
    servidor.cerrar();
    cola.cerrar();
    const std::lock_guard<std::mutex> l(e.mutex);
    e.terminado = true;
    e.fin.notify_all();
}

} // namespace

Reenvio::Reenvio(QString cola, QString url) : estado_(std::make_shared<EstadoReenvio>()) {
    estado_->cola = std::move(cola);
    estado_->url = std::move(url);
    std::thread(trabajar, estado_).detach();
}

Reenvio::~Reenvio() { detener(kCierreMs); }

void Reenvio::avisar() {
    const std::lock_guard<std::mutex> l(estado_->mutex);
    estado_->hayAviso = true;
    estado_->aviso.notify_all();
}

void Reenvio::detener(int ms) {
    std::unique_lock<std::mutex> l(estado_->mutex);
    estado_->parar.store(true);
    estado_->aviso.notify_all();
    estado_->fin.wait_for(l, std::chrono::milliseconds(ms), [this] { return estado_->terminado; });
}

std::vector<Fallo> Reenvio::fallos() {
    const std::lock_guard<std::mutex> l(estado_->mutex);
    std::vector<Fallo> r;
    r.swap(estado_->fallos);
    return r;
}

qint64 Reenvio::movidas() const { return estado_->movidas.load(); }
qint32 Reenvio::ultimoFallo() const { return estado_->ultimoNumero.load(); }
bool Reenvio::fallando() const { return estado_->fallando.load(); }

} // namespace corvane
