#include "reception/seguimiento.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include <memory>

#include "store/base_qt.h"
#include "store/conexion_postgresql.h"
#include "store/errores_motor.h"
#include "store/funcionesBaseDatos.h"
#include "store/motor_postgresql.h"

namespace corvane {

namespace {

// Rows fetched at one time: a few hundred kilobytes.
constexpr int kFilasPorLectura = 5000;
// Milliseconds between looks: the bound on a missed notification's delay, and
// the pause between attempts to connect again.
constexpr int kMiradaMs = 1000;

// A failure of the server as the number the operator is told of.
qint32 numero(const QSqlError& error) { return fallo_de(error, Dialecto::PostgreSQL).numero; }

} // namespace

// Lives in the thread: every call to the server is made there.
class TrabajoSeguimiento : public QObject {
public:
    TrabajoSeguimiento(Seguimiento& fuera, QString url, int iniciales, bool conEventos)
        : fuera_(fuera), url_(std::move(url)), iniciales_(iniciales), conEventos_(conEventos) {}

    void arrancar() {
        auto* mirada = new QTimer(this);
        mirada->setInterval(kMiradaMs);
        connect(mirada, &QTimer::timeout, this, [this] { mirar(); });
        mirada->start();
        mirar();
    }

    void parar() {
        conexion_.reset();
    }

private:
    void mirar() {
        if (!conexion_) {
            qint32 porQue = 0;
            if (!conectar(porQue)) {
                conexion_.reset();
                avisar(false, porQue);
                return;
            }
            avisar(true, 0);
            // Whatever the alarm table did while there was no connection.
            Q_EMIT fuera_.alarmas();
        }
        leer();
    }

    void avisar(bool disponible, qint32 porQue) {
        if (disponible == disponible_ && (disponible || porQue == causa_)) return;
        disponible_ = disponible;
        causa_ = porQue;
        Q_EMIT fuera_.conexion(disponible, porQue);
    }

    bool conectar(qint32& porQue) {
        // The name the server lists the connection under (pg_stat_activity).
        ConexionPostgreSQL parametros;
        if (Fallo f = ConexionPostgreSQL::leer(url_, QStringLiteral("corvane_vista"), parametros)) {
            porQue = f.numero;
            return false;
        }
        conexion_ = std::make_unique<Conexion>(QStringLiteral("QPSQL"));
        QSqlDatabase db = conexion_->db();
        parametros.ajustar(db);
        if (Fallo f = parametros.abrir(db)) {
            porQue = f.numero;
            return false;
        }
        // The tables and their triggers, for a server no console has written to yet.
        if (Fallo f = asegurar_tablas_postgresql(db)) {
            porQue = f.numero;
            return false;
        }
        QSqlDriver* driver = db.driver();
        // Queued: a read that finds the connection lost removes it, and its
        // driver with it, which must not happen inside the driver's own signal.
        connect(
            driver, &QSqlDriver::notification, this,
            [this](const QString& canal) {
                if (canal == esquema::kCanalAlarmas)
                    Q_EMIT fuera_.alarmas();
                else
                    leer();
            },
            Qt::QueuedConnection);
        if ((conEventos_ && !driver->subscribeToNotification(esquema::kCanalEventos)) ||
            !driver->subscribeToNotification(esquema::kCanalAlarmas)) {
            porQue = numero(driver->lastError());
            return false;
        }
        if (!conEventos_ || ultima_ >= 0) return true;
        // The first read after the LISTEN: the rows to give start after the
        // newest `iniciales` ones.
        QSqlQuery q(db);
        ultima_ = 0;
        if (!q.exec(QStringLiteral("SELECT gral_id FROM %1 ORDER BY gral_id DESC OFFSET %2 LIMIT 1")
                        .arg(esquema::kTabla, QString::number(iniciales_)))) {
            porQue = numero(q.lastError());
            ultima_ = -1;
            return false;
        }
        if (q.next()) ultima_ = q.value(0).toLongLong();
        return true;
    }

    // The rows above the last one given, in order, until none is left.
    void leer() {
        if (!conexion_ || !conEventos_ || ultima_ < 0) return;
        for (;;) {
            std::vector<FilaEvento> filas;
            qint64 ultima = ultima_;
            if (const qint32 porQue = leerTanda(filas, ultima)) {
                // The connection is made again at the next look; no query or
                // copy of it is left to outlive it.
                conexion_.reset();
                avisar(false, porQue);
                return;
            }
            if (filas.empty()) return;
            ultima_ = ultima;
            const bool mas = filas.size() == static_cast<std::size_t>(kFilasPorLectura);
            Q_EMIT fuera_.filas(filas);
            if (!mas) return;
        }
    }

    // One read of the rows above `ultima`; `ultima` becomes the last one read.
    // Returns the failure's number, 0 when none.
    qint32 leerTanda(std::vector<FilaEvento>& filas, qint64& ultima) {
        const QString consulta = QStringLiteral("SELECT gral_id,") + esquema::lista_columnas() +
                                 QStringLiteral(" FROM ") + esquema::kTabla +
                                 QStringLiteral(" WHERE gral_id > %1 ORDER BY gral_id LIMIT ") +
                                 QString::number(kFilasPorLectura);
        QSqlQuery q(conexion_->db());
        q.setForwardOnly(true);
        if (!q.exec(consulta.arg(ultima))) return numero(q.lastError());
        while (q.next()) {
            ultima = q.value(0).toLongLong();
            FilaEvento f;
            int i = 1;
            for (const esquema::Columna& c : esquema::kColumnas) {
                const QVariant v = q.value(i++);
                if (c.texto == nullptr)
                    f.nivel = v.toInt();
                else if (c.tipoPostgreSQL.startsWith(QLatin1String("TIMESTAMP")))
                    f.*c.texto = momento_guardado(v).toString(kFormatoMomento);
                else
                    f.*c.texto = v.toString();
            }
            filas.push_back(std::move(f));
        }
        return 0;
    }

    Seguimiento& fuera_;
    QString url_;
    int iniciales_;
    bool conEventos_;
    std::unique_ptr<Conexion> conexion_;
    qint64 ultima_ = -1; // the last gral_id given; -1 before the first read
    bool disponible_ = true;
    qint32 causa_ = 0;
};

Seguimiento::Seguimiento(QString url, int iniciales, bool conEventos, QObject* parent)
    : QObject(parent), trabajo_(new TrabajoSeguimiento(*this, std::move(url), iniciales, conEventos)) {
    qRegisterMetaType<std::vector<FilaEvento>>();
    trabajo_->moveToThread(&hilo_);
    connect(&hilo_, &QThread::finished, trabajo_, &QObject::deleteLater);
}

Seguimiento::~Seguimiento() {
    if (hilo_.isRunning()) {
        QMetaObject::invokeMethod(trabajo_, [t = trabajo_] { t->parar(); }, Qt::BlockingQueuedConnection);
        hilo_.quit();
        hilo_.wait();
    } else {
        delete trabajo_;
    }
}

void Seguimiento::iniciar() {
    if (hilo_.isRunning()) return;
    hilo_.start();
    QMetaObject::invokeMethod(trabajo_, [t = trabajo_] { t->arrancar(); }, Qt::QueuedConnection);
}

} // namespace corvane
