#include "store/reenvio.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "common/registro_errores.h"
#include "store/cliente_pq.h"
#include "store/cola_pendientes.h"
#include "store/conexion_postgresql.h"
#include "store/esquema.h"
#include "store/texto_copia.h"

namespace corvane {

// Rows sent in one COPY: a few hundred kilobytes, one commit each.
constexpr int kFilasPorEnvio = 20000;
// Waits between attempts after a failure: from 2 s, doubling, at most 30 s.
constexpr int kPausaInicialMs = 2000;
constexpr int kPausaMaximaMs = 30000;
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

// The event table's side of the server: the schema made sure of at each
// connection, and the batches sent with their control record.
class Servidor {
public:
    explicit Servidor(EstadoReenvio& e) : e_(e), cliente_(e.parar) {}

    void cerrar() { cliente_.cerrar(); }
    bool conectado() const { return cliente_.conectado(); }

    // Connects and makes sure of the tables; on failure the connection is closed.
    Fallo conectar() {
        ConexionPostgreSQL c;
        if (Fallo f = ConexionPostgreSQL::leer(e_.url, QStringLiteral("corvane"), c)) return f;
        if (Fallo f = cliente_.conectar(c, kEsperaConexionPqMs)) return f;
        // The schema, the queues' control table and the triggers, each created
        // only when missing.
        return cliente_.ejecutar(esquema::asegurar_postgresql(true).toUtf8().constData());
    }

    // Sends `filas` (with sequence numbers above what the server holds for
    // `identidad`) and the control record in one transaction. `hasta`: the last
    // sequence number the server holds afterwards.
    Fallo enviar(const QString& identidad, const FilasPendientes& filas, qint64& hasta) {
        const std::string id = identidad.toStdString();
        std::string inicio = "BEGIN; INSERT INTO corvane_envios (cola, ultima_secuencia) VALUES ('" + id +
                             "', 0) ON CONFLICT (cola) DO NOTHING";
        if (Fallo f = cliente_.ejecutar(inicio.c_str())) return f;
        qint64 ultima = 0;
        std::string consulta = "SELECT ultima_secuencia FROM corvane_envios WHERE cola = '" + id + "' FOR UPDATE";
        if (Fallo f = cliente_.ejecutar(consulta.c_str(), &ultima)) return f;
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
            const std::string copia = "COPY TABLA_GENERAL (" + esquema::lista_columnas().toStdString() + ") FROM STDIN";
            if (Fallo f = cliente_.copiar(copia.c_str(), datos)) return f;
        }
        const std::string fin = "UPDATE corvane_envios SET ultima_secuencia = " + std::to_string(mayor) +
                                " WHERE cola = '" + id + "'; COMMIT";
        if (Fallo f = cliente_.ejecutar(fin.c_str())) return f;
        hasta = mayor;
        return {};
    }

private:
    EstadoReenvio& e_;
    ClientePq cliente_;
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

Reenvio::~Reenvio() { detener(1500); }

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
