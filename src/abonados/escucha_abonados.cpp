#include "abonados/escucha_abonados.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include <memory>

#include "abonados/registro_abonados.h"
#include "store/base_qt.h"
#include "store/conexion_postgresql.h"
#include "store/errores_motor.h"

namespace corvane {

namespace {
// Milliseconds between attempts to connect again, and between looks that the
// connection still answers.
constexpr int kMiradaMs = 1000;
} // namespace

class TrabajoEscucha : public QObject {
public:
    TrabajoEscucha(EscuchaAbonados& fuera, QString url) : fuera_(fuera), url_(std::move(url)) {}

    void arrancar() {
        auto* mirada = new QTimer(this);
        mirada->setInterval(kMiradaMs);
        connect(mirada, &QTimer::timeout, this, [this] { mirar(); });
        mirada->start();
        mirar();
    }

    void parar() { conexion_.reset(); }

private:
    void mirar() {
        if (conexion_) {
            // A cheap statement: a connection lost without a word is found here.
            QSqlQuery q(conexion_->db());
            if (q.exec(QStringLiteral("SELECT 1"))) return;
            const qint32 porQue = fallo_de(q.lastError(), Dialecto::PostgreSQL).numero;
            q = QSqlQuery();
            conexion_.reset();
            avisar(false, porQue);
            return;
        }
        qint32 porQue = 0;
        if (!conectar(porQue)) {
            conexion_.reset();
            avisar(false, porQue);
            return;
        }
        avisar(true, 0);
        // What changed while nobody listened.
        Q_EMIT fuera_.cambio(QString());
    }

    void avisar(bool disponible, qint32 porQue) {
        if (disponible == disponible_ && (disponible || porQue == causa_)) return;
        disponible_ = disponible;
        causa_ = porQue;
        Q_EMIT fuera_.conexion(disponible, porQue);
    }

    bool conectar(qint32& porQue) {
        ConexionPostgreSQL parametros;
        if (Fallo f =
                ConexionPostgreSQL::leer(url_, QStringLiteral("corvane_abonados"), parametros)) {
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
        QSqlDriver* driver = db.driver();
        connect(
            driver,
            qOverload<const QString&, QSqlDriver::NotificationSource, const QVariant&>(
                &QSqlDriver::notification),
            this,
            [this](const QString& canal, QSqlDriver::NotificationSource, const QVariant& carga) {
                if (canal == kCanalAbonados) Q_EMIT fuera_.cambio(carga.toString());
            },
            Qt::QueuedConnection);
        if (!driver->subscribeToNotification(kCanalAbonados)) {
            porQue = fallo_de(driver->lastError(), Dialecto::PostgreSQL).numero;
            return false;
        }
        return true;
    }

    EscuchaAbonados& fuera_;
    QString url_;
    std::unique_ptr<Conexion> conexion_;
    bool disponible_ = true;
    qint32 causa_ = 0;
};

EscuchaAbonados::EscuchaAbonados(QString url, QObject* parent)
    : QObject(parent), trabajo_(new TrabajoEscucha(*this, std::move(url))) {
    trabajo_->moveToThread(&hilo_);
    connect(&hilo_, &QThread::finished, trabajo_, &QObject::deleteLater);
}

EscuchaAbonados::~EscuchaAbonados() {
    if (hilo_.isRunning()) {
        QMetaObject::invokeMethod(
            trabajo_, [t = trabajo_] { t->parar(); }, Qt::BlockingQueuedConnection);
        hilo_.quit();
        hilo_.wait();
    } else {
        delete trabajo_;
    }
}

void EscuchaAbonados::iniciar() {
    if (hilo_.isRunning()) return;
    hilo_.start();
    QMetaObject::invokeMethod(
        trabajo_, [t = trabajo_] { t->arrancar(); }, Qt::QueuedConnection);
}

} // namespace corvane
