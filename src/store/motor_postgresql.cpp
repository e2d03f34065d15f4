#include "store/motor_postgresql.h"

#include <QElapsedTimer>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include "common/registro_errores.h"
#include "store/base_qt.h"
#include "store/conexion_postgresql.h"
#include "store/errores_motor.h"
#include "store/libpq.h"
#include "store/literales.h"
#include "store/texto_copia.h"

namespace corvane {
namespace {

// Seconds between two attempts to reconnect to a server that went away, so that a
// batch of rows does not wait for one connection timeout per row.
constexpr int kPausaReconexionS = 2;

void cancelar(PGconn* conn) {
    if (PGcancel* c = pq().PQgetCancel(conn)) {
        char error[256];
        pq().PQcancel(c, error, sizeof error);
        pq().PQfreeCancel(c);
    }
}

class BasePostgreSQL : public BaseQt {
public:
    BasePostgreSQL(std::shared_ptr<Conexion> conexion, ConexionPostgreSQL parametros)
        : BaseQt(std::move(conexion), Dialecto::PostgreSQL), parametros_(std::move(parametros)) {}

    // The SELECT runs as COPY (SELECT ...) TO STDOUT on the driver's own
    // connection: the server streams its rows as text, which is read line by line
    // and never held whole (QPSQL would fetch the whole result first). The driver
    // sets DATESTYLE to ISO on its connections: a moment comes as
    // "yyyy-MM-dd HH:mm:ss", as SQLite stores it.
    // A connection found lost before the first row is opened again and the
    // statement run once more there (a promoted standby, or the server back).
    Fallo recorrer(const QString& sentencia, const FuncionFila& fila) override {
        bool dadas = false;
        Fallo f = copiarFilas(sentencia, fila, dadas);
        if (f.numero == fallos::kConexionPerdida) alFallar(f);
        if (f.numero == fallos::kConexionPerdida && !dadas && !enTransaccion()) {
            f = copiarFilas(sentencia, fila, dadas);
            if (f.numero == fallos::kConexionPerdida) alFallar(f);
        }
        return f;
    }

    // COPY ... FROM STDIN on the driver's own connection, the rows sent in
    // pieces of about a megabyte.
    Fallo cargarFilas(const QString& tabla, const QStringList& columnas, const ValoresTexto& valores) override {
        if (Fallo f = alistar()) return f;
        PGconn* conn = conexion_pq(conexion_->db());
        if (conn == nullptr) return {fallos::kSinObjeto, QStringLiteral("la base no está abierta")};
        if (!pq().cargada) return fallo_sin_libpq();
        const QByteArray copia = QByteArrayLiteral("COPY ") + tabla.toUtf8() + QByteArrayLiteral(" (") +
                                 columnas.join(QLatin1Char(',')).toUtf8() + QByteArrayLiteral(") FROM STDIN");
        PGresult* inicio = pq().PQexec(conn, copia.constData());
        const bool copiando = pq().PQresultStatus(inicio) == PGRES_COPY_IN;
        Fallo f = copiando ? Fallo{} : fallo_de_resultado(conn, inicio);
        pq().PQclear(inicio);
        if (f) {
            alFallar(f);
            return f;
        }
        QByteArray datos;
        bool enviado = true;
        const auto enviar = [&] {
            if (enviado && !datos.isEmpty())
                enviado = pq().PQputCopyData(conn, datos.constData(), static_cast<int>(datos.size())) == 1;
            datos.clear();
        };
        const size_t n = static_cast<size_t>(columnas.size());
        for (size_t fila = 0; n > 0 && fila + n <= valores.cantidad(); fila += n) {
            for (size_t i = 0; i < n; ++i) {
                const std::string_view v = valores.valor(fila + i);
                agregar_copia(datos, v.data(), v.size(), i == 0);
            }
            datos += '\n';
            if (datos.size() > (1 << 20)) enviar();
        }
        enviar();
        pq().PQputCopyEnd(conn, enviado ? nullptr : "sin enviar");
        while (PGresult* r = pq().PQgetResult(conn)) {
            if (!f && pq().PQresultStatus(r) != PGRES_COMMAND_OK) f = fallo_de_resultado(conn, r);
            pq().PQclear(r);
        }
        if (f) alFallar(f);
        return f;
    }

private:
    // The COPY of `sentencia`'s rows; `dadas` becomes true at the first row given.
    Fallo copiarFilas(const QString& sentencia, const FuncionFila& fila, bool& dadas) {
        if (Fallo f = alistar()) return f;
        PGconn* conn = conexion_pq(conexion_->db());
        if (conn == nullptr) return {fallos::kSinObjeto, QStringLiteral("la base no está abierta")};
        if (!pq().cargada) return fallo_sin_libpq();
        const QByteArray copia = QByteArrayLiteral("COPY (") +
                                 traducir_sentencia(sentencia, Dialecto::PostgreSQL).toUtf8() +
                                 QByteArrayLiteral(") TO STDOUT");
        PGresult* inicio = pq().PQexec(conn, copia.constData());
        const bool copiando = pq().PQresultStatus(inicio) == PGRES_COPY_OUT;
        Fallo f = copiando ? Fallo{} : fallo_de_resultado(conn, inicio);
        pq().PQclear(inicio);
        if (f) return f;
        LectorCopia lector;
        for (;;) {
            char* linea = nullptr;
            const int largo = pq().PQgetCopyData(conn, &linea, 0);
            if (largo < 0) break; // -1 the end, -2 a failure told by the result below
            if (!f) {
                dadas = true;
                f = fila(lector.leer(linea, static_cast<size_t>(largo)));
                // What the server still sends is dropped: a cancelled COPY ends soon.
                if (f) cancelar(conn);
            }
            pq().PQfreemem(linea);
        }
        while (PGresult* r = pq().PQgetResult(conn)) {
            if (!f && pq().PQresultStatus(r) != PGRES_COMMAND_OK) f = fallo_de_resultado(conn, r);
            pq().PQclear(r);
        }
        return f;
    }

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
        if (Fallo f = parametros_.abrir(db)) return f;
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
    ConexionPostgreSQL parametros_;
    bool reconectar_ = false;
    QElapsedTimer ultimoIntento_;
    std::unique_ptr<QSqlQuery> insercion_;
};

} // namespace

Fallo asegurar_tablas_postgresql(QSqlDatabase& db) {
    return ejecutar_en(db, esquema::asegurar_postgresql(false), Dialecto::PostgreSQL);
}

Fallo abrir_postgresql(const QString& ruta, std::unique_ptr<BaseDatos>& base) {
    ConexionPostgreSQL parametros;
    if (Fallo f = ConexionPostgreSQL::leer(ruta, {}, parametros)) return f;
    auto conexion = std::make_shared<Conexion>(QStringLiteral("QPSQL"));
    QSqlDatabase db = conexion->db();
    parametros.ajustar(db);
    if (Fallo f = parametros.abrir(db)) return f;
    if (Fallo f = asegurar_tablas_postgresql(db)) return f;
    base = std::make_unique<BasePostgreSQL>(std::move(conexion), std::move(parametros));
    return {};
}

} // namespace corvane
