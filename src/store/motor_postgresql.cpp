#include "store/motor_postgresql.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include "common/registro_errores.h"
#include "store/base_qt.h"
#include "store/errores_motor.h"

namespace corvane {
namespace {

// Seconds a connection attempt may take.
constexpr int kEsperaConexionS = 5;
// Seconds between two attempts to reconnect to a server that went away, so that a
// batch of rows does not wait for one connection timeout per row.
constexpr int kPausaReconexionS = 2;

class BasePostgreSQL : public BaseQt {
public:
    explicit BasePostgreSQL(std::shared_ptr<Conexion> conexion)
        : BaseQt(std::move(conexion), Dialecto::PostgreSQL) {}

protected:
    // After a lost connection the next statement first reconnects, so storing
    // resumes by itself as soon as the server is back. Attempts are spaced by
    // kPausaReconexionS; statements in between fail at once.
    Fallo alistar() override {
        if (!reconectar_) return {};
        if (ultimoIntento_.isValid() && ultimoIntento_.elapsed() < kPausaReconexionS * 1000)
            return {fallos::kConexionPerdida, QStringLiteral("sin conexión")};
        ultimoIntento_.start();
        QSqlDatabase db = conexion_->db();
        db.close();
        if (!db.open()) return fallo_de(db.lastError(), Dialecto::PostgreSQL);
        reconectar_ = false;
        return {};
    }
    Fallo insertar(const FilaEvento& fila) override {
        if (!insercion_) {
            insercion_ = std::make_unique<QSqlQuery>(conexion_->db());
            if (!insercion_->prepare(esquema::insert_preparado())) {
                const Fallo f = fallo(insercion_->lastError());
                insercion_.reset();
                return f;
            }
        }
        int i = 0;
        for (const esquema::Columna& c : esquema::kColumnas) {
            // An empty text is stored as '', not NULL.
            insercion_->bindValue(i++, c.texto == nullptr ? QVariant(fila.nivel)
                                       : (fila.*c.texto).isNull() ? QVariant(QString(QLatin1String("")))
                                                                  : QVariant(fila.*c.texto));
        }
        if (insercion_->exec()) return {};
        return fallo(insercion_->lastError());
    }
    void alFallar(const Fallo& f) override {
        // After a lost connection the statement is prepared again on the new one.
        if (f.numero != fallos::kConexionPerdida) return;
        reconectar_ = true;
        insercion_.reset();
    }

private:
    bool reconectar_ = false;
    QElapsedTimer ultimoIntento_;
    std::unique_ptr<QSqlQuery> insercion_;
};

} // namespace

Fallo preparar_postgresql(const QString& ruta, QSqlDatabase& db) {
    const QUrl url(ruta);
    if (!url.isValid() || url.host().isEmpty())
        return {fallos::kArchivoNoEncontrado, QStringLiteral("dirección de base no válida")};
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setUserName(url.userName());
    if (!url.password().isEmpty()) db.setPassword(url.password());
    db.setDatabaseName(url.path().mid(1));
    db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(kEsperaConexionS));
    return {};
}

Fallo asegurar_tablas_postgresql(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT to_regclass('tabla_general') IS NOT NULL, "
                               "to_regclass('indice_abonado_fecha') IS NOT NULL")) ||
        !q.next())
        return fallo_de(q.lastError(), Dialecto::PostgreSQL);
    const bool tieneTabla = q.value(0).toBool();
    const bool tieneIndice = q.value(1).toBool();
    q.finish();
    if (!tieneTabla || !tieneIndice) {
        if (!db.transaction()) return fallo_de(db.lastError(), Dialecto::PostgreSQL);
        for (const QString& s : {esquema::kBloqueoEsquema, esquema::crear_tabla_postgresql(), esquema::kCrearIndice}) {
            if (Fallo f = ejecutar_en(db, s, Dialecto::PostgreSQL)) {
                db.rollback();
                return f;
            }
        }
        if (!db.commit()) return fallo_de(db.lastError(), Dialecto::PostgreSQL);
    }
    if (!q.exec(esquema::kAvisosPresentes) || !q.next()) return fallo_de(q.lastError(), Dialecto::PostgreSQL);
    const bool conAvisos = q.value(0).toInt() == 1;
    q.finish();
    if (!conAvisos) {
        if (Fallo f = ejecutar_en(db, esquema::avisos_postgresql(), Dialecto::PostgreSQL)) return f;
    }
    return {};
}

Fallo abrir_postgresql(const QString& ruta, std::unique_ptr<BaseDatos>& base) {
    auto conexion = std::make_shared<Conexion>(QStringLiteral("QPSQL"));
    QSqlDatabase db = conexion->db();
    if (Fallo f = preparar_postgresql(ruta, db)) return f;
    if (!db.open()) {
        Fallo f = fallo_de(db.lastError(), Dialecto::PostgreSQL);
        if (f.numero == fallos::kMotorGeneral) f.numero = fallos::kConexionPerdida;
        return f;
    }
    if (Fallo f = asegurar_tablas_postgresql(db)) return f;
    base = std::make_unique<BasePostgreSQL>(std::move(conexion));
    return {};
}

} // namespace corvane
