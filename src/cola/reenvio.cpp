#include "cola/reenvio.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "cola/cola_pendientes.h"
#include "cola/flujo_eventos.h"
#include "common/registro_errores.h"
#include "common/reloj.h"
#include "store/cliente_pq.h"
#include "store/conexion_postgresql.h"
#include "store/errores_motor.h"
#include "store/esquema.h"
#include "store/texto_copia.h"

namespace corvane {

namespace {

using Monotono = std::chrono::steady_clock;

// Rows sent in one COPY at most: a few hundred kilobytes, one commit each.
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

// The server's primary message out of a refusal's detail ("SQLSTATE XXXXX: text").
QString mensaje_del_servidor(const Fallo& f) {
    const QString prefijo = QStringLiteral("SQLSTATE %1: ").arg(f.estado);
    return f.detalle.startsWith(prefijo) ? f.detalle.mid(prefijo.size()) : f.detalle;
}

} // namespace

QString texto_fila_rechazada(const FilaEvento& fila, const QString& estado,
                             const QString& mensaje) {
    return QStringLiteral("fila rechazada por el servidor (abonado %1, %2): %3 %4")
        .arg(fila.abonado, fila.momento, estado, mensaje);
}

Fallo reenviar_rechazadas(ColaPendientes& cola, const QString& url, const std::atomic<bool>& parar,
                          ResultadoReenvio& resultado) {
    resultado = {};
    std::vector<FilaRechazada> filas;
    if (Fallo f = cola.leer_rechazadas(filas)) return f;
    if (filas.empty()) return {};
    Servidor servidor(url, parar);
    if (Fallo f = servidor.conectar()) return f;
    for (const FilaRechazada& r : filas) {
        // The row as the queue would read it, its values in column order.
        FilasPendientes una;
        una.secuencias.push_back(r.secuencia);
        for (const esquema::Columna& c : esquema::kColumnas) {
            una.valores +=
                (c.texto == nullptr ? QString::number(r.fila.nivel) : r.fila.*c.texto).toUtf8();
            una.valores += '\0';
        }
        // The key the row was queued under: a copy of the queue reuses sequence
        // numbers, never keys.
        const QString control = QStringLiteral("%1/%2").arg(r.identidad).arg(r.secuencia);
        qint64 hasta = 0;
        const Fallo f = servidor.enviar(control, una, hasta);
        if (f && f.estado.isEmpty()) return f;
        const QString momento = QDateTime::currentDateTime().toString(kFormatoMomento);
        if (Fallo g =
                f ? cola.resolver_rechazada(r.secuencia, f.estado, mensaje_del_servidor(f), momento)
                  : cola.resolver_rechazada(r.secuencia, {}, {}, {}))
            return g;
        ++(f ? resultado.rechazadas : resultado.guardadas);
    }
    return {};
}

struct FlujoEventosServidor::Partes {
    Partes(std::shared_ptr<EsperaEventos> e, QString url, const std::atomic<bool>& parar)
        : espera(std::move(e)), servidor(std::move(url), parar) {}
    std::shared_ptr<EsperaEventos> espera;
    ColaPendientes cola;
    Servidor servidor;
    Monotono::time_point ultimoVistazo{};
    // Rows read for the next COPY: halved after the server's statement_timeout
    // cancelled one (down to 1), a quarter more after each batch that went
    // through (up to kFilasPorEnvio).
    int tamano = kFilasPorEnvio;
    std::vector<Fallo> avisos;

    // Sends `filas`, once more on a new connection when the server had closed
    // the idle one; then removes them from the queue. `movidos` grows by the rows
    // the server holds afterwards.
    // Rows held only in memory (no key) are sent with no control record and
    // removed from nowhere.
    Fallo mover(const FilasPendientes& filas, const std::atomic<bool>& parar, qint64& movidos) {
        const bool yaAbierta = servidor.conectado();
        if (!yaAbierta) {
            if (Fallo f = servidor.conectar()) return f;
        }
        qint64 hasta = 0;
        Fallo f = servidor.enviar(filas.identidad, filas, hasta);
        // A connection the server closed while it sat idle (idle_session_timeout, a
        // backend ended by an administrator) is no outage: the batch goes once more
        // on a new connection, and only a failed new connection is one. The control
        // record keeps a batch that reached the server before the loss stored once.
        if (f.numero == fallos::kConexionPerdida && yaAbierta && !servidor.conectado() &&
            !parar.load()) {
            f = servidor.conectar();
            if (!f) f = servidor.enviar(filas.identidad, filas, hasta);
        }
        if (f) return f;
        if (!filas.identidad.isEmpty() && (f = borrar_movidas(cola, hasta, parar))) return f;
        movidos += static_cast<qint64>(filas.secuencias.size());
        return {};
    }

    // `filas` were refused with `f`, a refusal of one row's values: halves are
    // sent, the first one first, until the one row refused alone is found; the
    // rows before it are stored, that row is moved to the queue's `rechazadas`
    // and told once (avisos), the rows after it are left for the next batch.
    Fallo aislar(const FilasPendientes& filas, Fallo f, const std::atomic<bool>& parar,
                 qint64& movidos) {
        size_t a = 0, b = filas.secuencias.size();
        while (b - a > 1) {
            const size_t m = a + (b - a) / 2;
            Fallo g = mover(filas.tramo(a, m), parar, movidos);
            if (!g) {
                a = m;
                continue;
            }
            if (clase_de_rechazo(g.estado) != ClaseRechazo::Fila) return g;
            b = m;
        }
        // The one row left, alone: it may go in now, or be refused for good.
        const FilasPendientes fila = filas.tramo(a, a + 1);
        f = mover(fila, parar, movidos);
        if (!f || clase_de_rechazo(f.estado) != ClaseRechazo::Fila) return f;
        const QString mensaje = mensaje_del_servidor(f);
        const QString momento = QDateTime::currentDateTime().toString(kFormatoMomento);
        if (Fallo g = cola.rechazar(fila.secuencias.front(), f.estado, mensaje, momento)) return g;
        movidos += 1;
        avisos.push_back({fallos::kFilaRechazada,
                          texto_fila_rechazada(fila.filas().front(), f.estado, mensaje), f.estado});
        return {};
    }
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
    static_cast<void>(vaciar_memoria(*p_->espera, p_->cola));
    p_->servidor.cerrar();
    p_->cola.cerrar();
}

Fallo FlujoEventosServidor::enviarTanda(const std::atomic<bool>& parar, qint64& movidos) {
    movidos = 0;
    Partes& p = *p_;
    if (p.espera->esperando.load() == 0) {
        // A reserve released by a full disk is made again once there is room.
        p.espera->reserva.crear();
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
    // One batch, from the queue (with its key) or from memory (without): a
    // statement timeout halves it at once, a row refused for good is set apart.
    const auto enviar = [&](FilasPendientes tanda, qint64& n) -> Fallo {
        const bool deCola = !tanda.identidad.isEmpty();
        for (;;) {
            Fallo f = p.mover(tanda, parar, n);
            if (!f) break;
            if (parar.load()) return f;
            switch (clase_de_rechazo(f.estado)) {
            case ClaseRechazo::TiempoAgotado:
                // The server's statement_timeout cancelled the batch: half of it
                // at once, down to one row; a row that still takes too long
                // waits as an outage does.
                if (tanda.secuencias.size() <= 1) return f;
                p.tamano = static_cast<int>(tanda.secuencias.size() / 2);
                tanda = tanda.tramo(0, static_cast<size_t>(p.tamano));
                continue;
            case ClaseRechazo::Fila:
                // Only a row of the queue can be set apart; one held in memory
                // waits there until the queue takes it.
                if (!deCola) return f;
                return p.aislar(tanda, f, parar, n);
            case ClaseRechazo::Pasajera:
            case ClaseRechazo::Destino:
                return f;
            }
        }
        p.tamano = std::min(kFilasPorEnvio, p.tamano + p.tamano / 4 + 1);
        return {};
    };
    const EnviarDeCola deCola = [&](const FilasPendientes& filas, qint64& n) {
        return enviar(filas, n);
    };
    const EnviarDeMemoria deMemoria = [&](const std::vector<FilaEvento>& filas, qint64& n) {
        return enviar(FilasPendientes::de(filas), n);
    };
    const Fallo f = tanda_eventos(*p.espera, p.cola, p.tamano, deCola, deMemoria, movidos);
    if (!f && movidos > 0) p.ultimoVistazo = Monotono::now();
    return f;
}

std::vector<Fallo> FlujoEventosServidor::avisos() {
    std::vector<Fallo> r;
    r.swap(p_->avisos);
    return r;
}

} // namespace corvane
