// The engines over Qt SQL: QSQLITE for the embedded event file, QPSQL for a
// central PostgreSQL server.

#include "store/motor.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include "common/registro_errores.h"
#include "store/esquema.h"

namespace corvane {
namespace {

// Milliseconds a statement waits for a lock held by another process.
constexpr int kEsperaBloqueoMs = 5000;
// Seconds a PostgreSQL connection attempt may take.
constexpr int kEsperaConexionS = 5;

Fallo fallo_sqlite(const QSqlError& error) {
    bool ok = false;
    const int codigo = error.nativeErrorCode().toInt(&ok) & 0xff; // primary result code
    qint32 numero = fallos::kMotorGeneral;
    if (ok) {
        switch (codigo) {
        case 1:  // SQLITE_ERROR: syntax, unknown table or column
        case 19: // SQLITE_CONSTRAINT
        case 20: // SQLITE_MISMATCH
        case 25: // SQLITE_RANGE
            numero = fallos::kSentenciaRechazada;
            break;
        case 5: // SQLITE_BUSY
        case 6: // SQLITE_LOCKED
            numero = fallos::kBloqueada;
            break;
        case 8: // SQLITE_READONLY
            numero = fallos::kSoloLectura;
            break;
        case 13: // SQLITE_FULL
            numero = fallos::kDiscoLleno;
            break;
        case 14: // SQLITE_CANTOPEN
            numero = fallos::kArchivoNoEncontrado;
            break;
        case 26: // SQLITE_NOTADB
            numero = fallos::kNoEsBaseDeDatos;
            break;
        default:
            break;
        }
    } else if (error.type() == QSqlError::ConnectionError) {
        numero = fallos::kArchivoNoEncontrado;
    }
    return {numero, error.text()};
}

Fallo fallo_postgresql(const QSqlError& error) {
    const QString estado = error.nativeErrorCode(); // SQLSTATE
    qint32 numero = fallos::kMotorGeneral;
    if (estado.startsWith(QLatin1String("08")) || estado.startsWith(QLatin1String("57P")) ||
        estado.startsWith(QLatin1String("28")) ||
        (estado.isEmpty() && error.type() == QSqlError::ConnectionError)) {
        numero = fallos::kConexionPerdida;
    } else if (estado == QLatin1String("53100")) {
        numero = fallos::kDiscoLleno;
    } else if (estado == QLatin1String("25006")) {
        numero = fallos::kSoloLectura;
    } else if (estado == QLatin1String("55P03") || estado == QLatin1String("40P01")) {
        numero = fallos::kBloqueada;
    } else if (estado == QLatin1String("3D000")) {
        numero = fallos::kArchivoNoEncontrado;
    } else if (estado.startsWith(QLatin1String("42")) || estado.startsWith(QLatin1String("22")) ||
               estado.startsWith(QLatin1String("23"))) {
        numero = fallos::kSentenciaRechazada;
    } else if (estado.isEmpty() && error.type() == QSqlError::StatementError) {
        // The driver loses the SQLSTATE when the server went away mid-statement.
        numero = fallos::kConexionPerdida;
    }
    return {numero, error.text()};
}

Fallo fallo_de(const QSqlError& error, Dialecto dialecto) {
    Fallo f = dialecto == Dialecto::SQLite ? fallo_sqlite(error) : fallo_postgresql(error);
    if (f.numero == 0) f.numero = fallos::kMotorGeneral;
    return f;
}

// One named Qt SQL connection; removed when the last database or recordset that
// uses it is gone.
class Conexion {
public:
    explicit Conexion(const QString& driver) {
        static QAtomicInteger<quint64> contador;
        nombre_ = QStringLiteral("corvane-%1").arg(contador.fetchAndAddRelaxed(1));
        QSqlDatabase::addDatabase(driver, nombre_);
    }
    ~Conexion() {
        {
            QSqlDatabase db = QSqlDatabase::database(nombre_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(nombre_);
    }
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(nombre_, false); }

private:
    QString nombre_;
};

class RegistrosQt : public Registros {
public:
    RegistrosQt(std::shared_ptr<Conexion> conexion, QSqlQuery consulta, Dialecto dialecto)
        : conexion_(std::move(conexion)), consulta_(std::move(consulta)), dialecto_(dialecto) {
        consulta_.next();
        hayFilas_ = consulta_.isValid();
    }
    ~RegistrosQt() override { RegistrosQt::cerrar(); }

    qint64 cantidad() const override {
        if (!hayFilas_) return 0;
        const int n = consulta_.size(); // -1 where the driver cannot tell (SQLite)
        return n > 0 ? n : 1;
    }
    bool alFinal() const override { return !abierto_ || !consulta_.isValid(); }
    Fallo valor(const QString& campo, QVariant& valor) const override {
        if (!abierto_ || !consulta_.isValid()) return {fallos::kSinObjeto, QStringLiteral("sin fila")};
        const int i = consulta_.record().indexOf(campo);
        if (i < 0) return {fallos::kSentenciaRechazada, QStringLiteral("columna inexistente: ") + campo};
        valor = consulta_.value(i);
        return {};
    }
    Fallo siguiente() override {
        if (!abierto_) return {fallos::kSinObjeto, QStringLiteral("consulta cerrada")};
        if (!consulta_.next() && consulta_.lastError().isValid())
            return fallo_de(consulta_.lastError(), dialecto_);
        return {};
    }
    void cerrar() override {
        if (abierto_) consulta_.finish();
        abierto_ = false;
    }
    bool abierto() const override { return abierto_; }

private:
    std::shared_ptr<Conexion> conexion_;
    QSqlQuery consulta_;
    Dialecto dialecto_;
    bool hayFilas_ = false;
    bool abierto_ = true;
};

class BaseDatosQt : public BaseDatos {
public:
    BaseDatosQt(std::shared_ptr<Conexion> conexion, Dialecto dialecto)
        : conexion_(std::move(conexion)), dialecto_(dialecto) {}

    Dialecto dialecto() const override { return dialecto_; }

    Fallo ejecutar(const QString& sentencia) override {
        if (Fallo f = asegurarConexion()) return f;
        QSqlQuery q(conexion_->db());
        if (q.exec(traducir_sentencia(sentencia, dialecto_))) return {};
        return anotar(fallo_de(q.lastError(), dialecto_));
    }

    std::unique_ptr<Registros> abrirRegistros(const QString& sentencia, Fallo& fallo) override {
        fallo = asegurarConexion();
        if (fallo) return nullptr;
        QSqlQuery q(conexion_->db());
        q.setForwardOnly(true);
        if (!q.exec(traducir_sentencia(sentencia, dialecto_))) {
            fallo = anotar(fallo_de(q.lastError(), dialecto_));
            return nullptr;
        }
        fallo = {};
        return std::make_unique<RegistrosQt>(conexion_, std::move(q), dialecto_);
    }

    Fallo comenzarLote() override {
        if (Fallo f = asegurarConexion()) return f;
        if (conexion_->db().transaction()) return {};
        return anotar(fallo_de(conexion_->db().lastError(), dialecto_));
    }
    Fallo confirmarLote() override {
        if (conexion_->db().commit()) return {};
        return anotar(fallo_de(conexion_->db().lastError(), dialecto_));
    }
    void deshacerLote() override { conexion_->db().rollback(); }

private:
    // After a lost server connection the next statement first reconnects, so
    // storing resumes by itself as soon as the server is back.
    Fallo asegurarConexion() {
        if (!reconectar_) return {};
        QSqlDatabase db = conexion_->db();
        db.close();
        if (!db.open()) return fallo_de(db.lastError(), dialecto_);
        reconectar_ = false;
        return {};
    }
    Fallo anotar(Fallo f) {
        if (dialecto_ == Dialecto::PostgreSQL && f.numero == fallos::kConexionPerdida)
            reconectar_ = true;
        return f;
    }

    std::shared_ptr<Conexion> conexion_;
    Dialecto dialecto_;
    bool reconectar_ = false;
};

bool ejecutar_esquema(QSqlDatabase& db, const QString& sentencia, Dialecto d, Fallo& fallo) {
    QSqlQuery q(db);
    if (q.exec(sentencia)) return true;
    fallo = fallo_de(q.lastError(), d);
    return false;
}

std::unique_ptr<BaseDatos> abrir_sqlite(const QString& ruta, Fallo& fallo) {
    const bool enMemoria = ruta == kBaseEnMemoria;
    const QFileInfo info(ruta);
    if (!enMemoria && info.exists() && !info.isFile()) {
        fallo = {fallos::kArchivoNoEncontrado, QStringLiteral("no es un archivo: ") + ruta};
        return nullptr;
    }
    auto conexion = std::make_shared<Conexion>(QStringLiteral("QSQLITE"));
    QSqlDatabase db = conexion->db();
    if (enMemoria) {
        // SQLite's own name for a private database of this connection; it starts
        // empty and receives the table and the index below, like a new file.
        db.setDatabaseName(kBaseEnMemoria);
    } else {
        // An existing file is opened for reading and writing only, never created
        // anew; a missing one is created.
        QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
        url.setQuery(info.exists() ? QStringLiteral("mode=rw") : QStringLiteral("mode=rwc"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(kEsperaBloqueoMs));
    }
    if (!db.open()) {
        fallo = fallo_de(db.lastError(), Dialecto::SQLite);
        if (fallo.numero == fallos::kMotorGeneral) fallo.numero = fallos::kArchivoNoEncontrado;
        return nullptr;
    }
    // Reading the schema is the first access to the file: a file that is not a
    // database fails here, before anything could be written to it.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name='TABLA_GENERAL'")) ||
        !q.next()) {
        fallo = fallo_de(q.lastError(), Dialecto::SQLite);
        return nullptr;
    }
    const bool tieneTabla = q.value(0).toInt() > 0;
    q.finish();
    // WAL with synchronous=FULL: a committed row survives a power cut.
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.finish();
    if (!ejecutar_esquema(db, QStringLiteral("PRAGMA synchronous=FULL"), Dialecto::SQLite, fallo))
        return nullptr;
    if (!tieneTabla) {
        if (!ejecutar_esquema(db, esquema::kCrearTablaSQLite, Dialecto::SQLite, fallo))
            return nullptr;
    }
    QSqlQuery qi(db);
    if (qi.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name='indice_abonado_fecha'")) &&
        qi.next() && qi.value(0).toInt() == 0) {
        qi.finish();
        // A read-only file keeps working without the index; only the query is slower.
        Fallo ignorado;
        ejecutar_esquema(db, esquema::kCrearIndice, Dialecto::SQLite, ignorado);
    }
    fallo = {};
    return std::make_unique<BaseDatosQt>(std::move(conexion), Dialecto::SQLite);
}

std::unique_ptr<BaseDatos> abrir_postgresql(const QString& ruta, Fallo& fallo) {
    const QUrl url(ruta);
    if (!url.isValid() || url.host().isEmpty()) {
        fallo = {fallos::kArchivoNoEncontrado, QStringLiteral("dirección de base no válida")};
        return nullptr;
    }
    auto conexion = std::make_shared<Conexion>(QStringLiteral("QPSQL"));
    QSqlDatabase db = conexion->db();
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setUserName(url.userName());
    if (!url.password().isEmpty()) db.setPassword(url.password());
    db.setDatabaseName(url.path().mid(1));
    db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(kEsperaConexionS));
    if (!db.open()) {
        fallo = fallo_de(db.lastError(), Dialecto::PostgreSQL);
        if (fallo.numero == fallos::kMotorGeneral) fallo.numero = fallos::kConexionPerdida;
        return nullptr;
    }
    if (!ejecutar_esquema(db, esquema::kCrearTablaPostgreSQL, Dialecto::PostgreSQL, fallo) ||
        !ejecutar_esquema(db, esquema::kCrearIndice, Dialecto::PostgreSQL, fallo)) {
        return nullptr;
    }
    fallo = {};
    return std::make_unique<BaseDatosQt>(std::move(conexion), Dialecto::PostgreSQL);
}

} // namespace

bool es_url_postgresql(const QString& ruta) {
    return ruta.startsWith(QLatin1String("postgresql://")) ||
           ruta.startsWith(QLatin1String("postgres://"));
}

std::unique_ptr<BaseDatos> abrir_motor(const QString& ruta, Fallo& fallo) {
    return es_url_postgresql(ruta) ? abrir_postgresql(ruta, fallo) : abrir_sqlite(ruta, fallo);
}

QString traducir_sentencia(const QString& sentencia, Dialecto dialecto) {
    if (!sentencia.contains(QLatin1Char('#'))) return sentencia;
    static const QRegularExpression kLiteral(
        QStringLiteral("#(\\d{4})/(\\d{2})/(\\d{2}) (\\d{2}:\\d{2}:\\d{2})#"));
    QString r;
    r.reserve(sentencia.size() + 16);
    bool entreComillas = false;
    for (qsizetype i = 0; i < sentencia.size(); ++i) {
        const QChar c = sentencia.at(i);
        if (c == QLatin1Char('\'')) entreComillas = !entreComillas;
        if (c == QLatin1Char('#') && !entreComillas) {
            const auto m = kLiteral.match(sentencia, i, QRegularExpression::NormalMatch,
                                          QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) {
                const QString momento = m.captured(1) + QLatin1Char('-') + m.captured(2) +
                                        QLatin1Char('-') + m.captured(3) + QLatin1Char(' ') +
                                        m.captured(4);
                if (dialecto == Dialecto::PostgreSQL) r += QStringLiteral("TIMESTAMP ");
                r += QLatin1Char('\'') + momento + QLatin1Char('\'');
                i += m.capturedLength(0) - 1;
                continue;
            }
        }
        r += c;
    }
    return r;
}

} // namespace corvane
