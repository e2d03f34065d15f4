#include "cola/reenvio.h"

#include <chrono>
#include <cstring>

#include "cola/cola_pendientes.h"
#include "cola/flujo_eventos.h"
#include "common/registro_errores.h"
#include "store/cliente_pq.h"
#include "store/conexion_postgresql.h"
#include "store/esquema.h"
#include "store/texto_copia.h"

namespace corvane {

namespace {

using Monotono = std::chrono::steady_clock;

// Rows sent in one COPY: a few hundred kilobytes, one commit each.
constexpr int kFilasPorEnvio = 20000;
// The longest wait for the answer to a look at an idle server: a frozen or
// unreachable server is told within about 10 s (a look every 5 s).
constexpr int kRespuestaVistazoMs = 4000;
// A look that fails sooner than this found the connection cut, not the server
// away: a new connection is tried at once.
constexpr int kCorteRapidoMs = 1000;
// The longest connection attempt while no row waits, so that a server that does
// not answer is told within about 10 s of the start.
constexpr int kConexionVistazoMs = 8000;

// The event table's side of the server: the schema made sure of at each
// connection, and the batches sent with their control record.
class Servidor {
public:
    Servidor(QString url, const std::atomic<bool>& parar) : url_(std::move(url)), cliente_(parar) {}

    void cerrar() { cliente_.cerrar(); }
    bool conectado() const { return cliente_.conectado(); }

    // Connects within `limiteMs` and makes sure of the tables; on failure the
    // connection is closed.
    Fallo conectar(int limiteMs = kEsperaConexionPqMs) {
        ConexionPostgreSQL c;
        if (Fallo f = ConexionPostgreSQL::leer(url_, QStringLiteral("corvane"), c)) return f;
        if (Fallo f = cliente_.conectar(c, limiteMs)) return f;
        // The schema, the queues' control table and the triggers, each created
        // only when missing.
        return cliente_.ejecutar(esquema::asegurar_postgresql(true).toUtf8().constData());
    }

    // A look at an idle connection: one statement the server answers within
    // kRespuestaVistazoMs.
    Fallo mirar() { return cliente_.ejecutar("SELECT 1", nullptr, kRespuestaVistazoMs); }

    // Sends `filas` (with sequence numbers above what the server holds for
    // `identidad`) and the control record in one transaction. `hasta`: the last
    // sequence number the server holds afterwards.
    // An empty `identidad`: rows held only in memory, sent with no control record.
    Fallo enviar(const QString& identidad, const FilasPendientes& filas, qint64& hasta) {
        const bool conControl = !identidad.isEmpty();
        if (Fallo f = cliente_.ejecutar("BEGIN")) return f;
        qint64 ultima = 0;
        if (conControl) {
            if (Fallo f = cliente_.ejecutar(esquema::kCrearRegistroControl, {identidad})) return f;
            if (Fallo f = cliente_.ejecutar(esquema::kLeerControlBloqueado, {identidad}, &ultima))
                return f;
        }
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
            const std::string copia = "COPY " + esquema::kTabla.toStdString() + " (" +
                                      esquema::lista_columnas().toStdString() + ") FROM STDIN";
            if (Fallo f = cliente_.copiar(copia.c_str(), datos)) return f;
        }
        if (conControl) {
            if (Fallo f =
                    cliente_.ejecutar(esquema::kPonerControl, {identidad, QString::number(mayor)}))
                return f;
        }
        if (Fallo f = cliente_.ejecutar("COMMIT")) return f;
        hasta = mayor;
        return {};
    }

private:
    QString url_;
    ClientePq cliente_;
};

} // namespace

struct FlujoEventosServidor::Partes {
    Partes(std::shared_ptr<EsperaEventos> e, QString url, const std::atomic<bool>& parar)
        : espera(std::move(e)), servidor(std::move(url), parar) {}
    std::shared_ptr<EsperaEventos> espera;
    ColaPendientes cola;
    Servidor servidor;
    Monotono::time_point ultimoVistazo{};
};

FlujoEventosServidor::FlujoEventosServidor(std::shared_ptr<EsperaEventos> e, QString url,
                                           const std::atomic<bool>& parar)
    : p_(std::make_unique<Partes>(std::move(e), std::move(url), parar)) {}

FlujoEventosServidor::~FlujoEventosServidor() = default;

// The next attempt connects anew and looks at the tables again, so a table
// dropped or renamed on the server is created again.
void FlujoEventosServidor::soltar() {
    p_->servidor.cerrar();
}

void FlujoEventosServidor::cerrar() {
    // What memory holds goes to the queue if it takes it now.
    qint64 n = 0;
    while (!mover_memoria(*p_->espera, p_->cola, kFilasPorEnvio, 0, n) && n > 0) {
    }
    p_->servidor.cerrar();
    p_->cola.cerrar();
}

Fallo FlujoEventosServidor::enviarTanda(const std::atomic<bool>& parar, qint64& movidos) {
    movidos = 0;
    Partes& p = *p_;
    if (p.espera->esperando.load() == 0) {
        // Nothing to send: the server is connected to at the start and looked at
        // now and then, so that its loss and its return are told without traffic.
        const auto ahora = Monotono::now();
        if (p.servidor.conectado() &&
            ahora - p.ultimoVistazo < std::chrono::milliseconds(kVistazoServidorMs))
            return {};
        p.ultimoVistazo = ahora;
        if (p.servidor.conectado()) {
            const Fallo f = p.servidor.mirar();
            if (!f) return {};
            p.servidor.cerrar();
            // A connection cut while the server is there is no outage: a new one
            // is tried at once. A server that did not answer in time is away.
            if (Monotono::now() - ahora >= std::chrono::milliseconds(kCorteRapidoMs)) return f;
        }
        return p.servidor.conectar(kConexionVistazoMs);
    }
    // A connection the server closed while it sat idle (idle_session_timeout, a
    // backend ended by an administrator) is no outage: the batch goes once more
    // on a new connection, and only a failed new connection is one. The control
    // record keeps a batch that reached the server before the loss stored once.
    const auto enviar = [&](const QString& identidad, const FilasPendientes& filas,
                            qint64& hasta) -> Fallo {
        const bool yaAbierta = p.servidor.conectado();
        if (!yaAbierta) {
            if (Fallo f = p.servidor.conectar()) return f;
        }
        Fallo f = p.servidor.enviar(identidad, filas, hasta);
        if (f.numero == fallos::kConexionPerdida && yaAbierta && !p.servidor.conectado() &&
            !parar.load()) {
            f = p.servidor.conectar();
            if (!f) f = p.servidor.enviar(identidad, filas, hasta);
        }
        return f;
    };
    const EnviarDeCola deCola = [&](const FilasPendientes& filas, qint64& hasta) {
        return enviar(filas.identidad, filas, hasta);
    };
    const EnviarDeMemoria deMemoria = [&](const std::vector<FilaEvento>& filas) {
        qint64 hasta = 0;
        return enviar(QString(), FilasPendientes::de(filas), hasta);
    };
    const Fallo f =
        tanda_eventos(*p.espera, p.cola, kFilasPorEnvio, deCola, deMemoria, parar, movidos);
    if (!f && movidos > 0) p.ultimoVistazo = Monotono::now();
    return f;
}

} // namespace corvane
