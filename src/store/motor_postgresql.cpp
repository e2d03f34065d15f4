#include "store/motor_postgresql.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include "common/registro_errores.h"
#include "store/base_qt.h"
#include "store/direccion_postgresql.h"
#include "store/errores_motor.h"

namespace corvane {
namespace {

// Seconds a connection attempt may take.
constexpr int kEsperaConexionS = 5;
// Seconds between two attempts to reconnect to a server that went away, so that a
// batch of rows does not wait for one connection timeout per row.
constexpr int kPausaReconexionS = 2;
// The port of a host the URI names none for.
constexpr int kPuertoPorOmision = 5432;

// A value of libpq's connection string: in single quotes, a quote or backslash
// inside escaped with a backslash.
QString entre_comillas(QString valor) {
    valor.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + valor + QLatin1Char('\'');
}

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
    DireccionPostgreSQL d;
    if (Fallo f = leer_direccion_postgresql(ruta, d)) return f;
    // The driver writes host, port, user, password and database into libpq's
    // connection string, quoted; the options follow them as they are, each ";"
    // turned into a space. Ports that differ between hosts, and the URI's other
    // parameters, go there, after the connection timeout so that the URI's own wins.
    // The server keeps its notices and warnings (one as it shuts down under the
    // connection) to itself: libpq would print them, in English, on standard error.
    QStringList opciones{QStringLiteral("connect_timeout=%1").arg(kEsperaConexionS),
                         QStringLiteral("options='-c client_min_messages=error'")};
    QStringList puertos;
    for (const QString& p : d.puertos) puertos << (p.isEmpty() ? QString::number(kPuertoPorOmision) : p);
    // One port for every host goes as the driver's port.
    if (puertos.count(puertos.front()) == puertos.size()) puertos = puertos.mid(0, 1);
    if (puertos.size() > 1) opciones << QStringLiteral("port=") + entre_comillas(puertos.join(QLatin1Char(',')));
    for (const auto& [nombre, valor] : d.parametros) {
        if (valor.contains(QLatin1Char(';')))
            return {fallos::kArchivoNoEncontrado,
                    QStringLiteral("dirección de base no válida: «;» en el parámetro %1").arg(nombre)};
        opciones << nombre + QLatin1Char('=') + entre_comillas(valor);
    }
    db.setHostName(QStringList(d.servidores.begin(), d.servidores.end()).join(QLatin1Char(',')));
    if (puertos.size() == 1) db.setPort(puertos.front().toInt());
    db.setUserName(d.usuario);
    if (!d.clave.isEmpty()) db.setPassword(d.clave);
    db.setDatabaseName(d.base);
    db.setConnectOptions(opciones.join(QLatin1Char(' ')));
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
