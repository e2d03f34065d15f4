// The engines over Qt SQL: QSQLITE for the embedded event file, QPSQL for a
// central PostgreSQL server.

#include "store/motor.h"

#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include <sqlite3.h>
#include <sys/stat.h>

#include <utility>
#include <vector>

#include "common/registro_errores.h"
#include "store/esquema.h"

namespace corvane {
namespace {

// Milliseconds a statement waits for a lock held by another process.
constexpr int kEsperaBloqueoMs = 5000;
// Seconds a PostgreSQL connection attempt may take.
constexpr int kEsperaConexionS = 5;

// SQLite's primary result code as a failure number.
qint32 numero_sqlite(int codigo) {
    switch (codigo & 0xff) {
    case 1:  // SQLITE_ERROR: syntax, unknown table or column
    case 19: // SQLITE_CONSTRAINT
    case 20: // SQLITE_MISMATCH
    case 25: // SQLITE_RANGE
        return fallos::kSentenciaRechazada;
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return fallos::kBloqueada;
    case 8: // SQLITE_READONLY
        return fallos::kSoloLectura;
    case 13: // SQLITE_FULL
        return fallos::kDiscoLleno;
    case 14: // SQLITE_CANTOPEN
        return fallos::kArchivoNoEncontrado;
    case 26: // SQLITE_NOTADB
        return fallos::kNoEsBaseDeDatos;
    default:
        return fallos::kMotorGeneral;
    }
}

Fallo fallo_sqlite(const QSqlError& error) {
    bool ok = false;
    const int codigo = error.nativeErrorCode().toInt(&ok);
    if (ok) return {numero_sqlite(codigo), error.text()};
    if (error.type() == QSqlError::ConnectionError) return {fallos::kArchivoNoEncontrado, error.text()};
    return {fallos::kMotorGeneral, error.text()};
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

// Seconds between two attempts to reconnect to a server that went away, so that a
// batch of rows does not wait for one connection timeout per row.
constexpr int kPausaReconexionS = 2;

// An INSERT ... values(...) as the decoders build it, split into its header (the
// statement up to "values(") and its values: quoted texts without quotes inside
// and bare whole numbers, as positions in the statement's text. Anything else is
// not split, and runs as the text it is.
struct InsertPartido {
    struct Valor {
        qsizetype desde;
        qsizetype largo;
        bool texto;
    };
    QStringView cabecera;
    std::vector<Valor> valores;
};

bool partir_insert(QStringView s, InsertPartido& r) {
    if (!s.startsWith(QLatin1String("INSERT INTO "), Qt::CaseInsensitive)) return false;
    qsizetype inicio = s.indexOf(QLatin1String("values("));
    if (inicio < 0) inicio = s.indexOf(QLatin1String("values("), 0, Qt::CaseInsensitive);
    if (inicio < 0 || s.left(inicio).contains(QLatin1Char('\''))) return false;
    r.cabecera = s.left(inicio);
    r.valores.clear();
    qsizetype i = inicio + 7;
    const qsizetype n = s.size();
    for (;;) {
        if (i >= n) return false;
        if (s[i] == QLatin1Char('\'')) {
            const qsizetype cierre = s.indexOf(QLatin1Char('\''), i + 1);
            if (cierre < 0) return false;
            r.valores.push_back({i + 1, cierre - i - 1, true});
            i = cierre + 1;
        } else {
            qsizetype fin = i;
            if (s[fin] == QLatin1Char('-')) ++fin;
            const qsizetype digitos = fin;
            while (fin < n && s[fin].isDigit()) ++fin;
            if (fin == digitos || fin - i > 18) return false;
            r.valores.push_back({i, fin - i, false});
            i = fin;
        }
        if (i >= n) return false;
        if (s[i] == QLatin1Char(')')) return i == n - 1;
        if (s[i] != QLatin1Char(',')) return false;
        ++i;
    }
}

// The INSERTs of one shape as a native SQLite statement on the Qt connection's own
// handle: binding straight from the statement's text, without a copy per value.
class InsercionSQLite {
public:
    InsercionSQLite(sqlite3* db, const QString& texto) {
        if (sqlite3_prepare16_v3(db, texto.utf16(), static_cast<int>(texto.size() * 2),
                                 SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }
    ~InsercionSQLite() { sqlite3_finalize(stmt_); }
    InsercionSQLite(const InsercionSQLite&) = delete;
    InsercionSQLite& operator=(const InsercionSQLite&) = delete;

    bool preparada() const { return stmt_ != nullptr; }
    int parametros() const { return sqlite3_bind_parameter_count(stmt_); }

    Fallo ejecutar(QStringView s, const InsertPartido& partido) {
        int indice = 1;
        for (const InsertPartido::Valor& v : partido.valores) {
            const QStringView valor = s.mid(v.desde, v.largo);
            if (v.texto) {
                // A non-null pointer also for the empty text: '' is stored as '', not NULL.
                sqlite3_bind_text16(stmt_, indice, s.data() + v.desde,
                                    static_cast<int>(v.largo * 2), SQLITE_STATIC);
            } else {
                sqlite3_bind_int64(stmt_, indice, valor.toLongLong());
            }
            ++indice;
        }
        const int codigo = sqlite3_step(stmt_);
        Fallo f;
        if (codigo != SQLITE_DONE && codigo != SQLITE_ROW) {
            f = {numero_sqlite(codigo), QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt_)))};
        }
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return f;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

QString texto_preparado(QStringView cabecera, size_t valores) {
    QString texto = cabecera.toString() + QStringLiteral("values(");
    for (size_t i = 0; i < valores; ++i) texto += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    texto += QLatin1Char(')');
    return texto;
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

std::shared_ptr<Conexion> conectar_sqlite(const QString& ruta, Fallo& fallo);

// Identity of a file on disk, to notice one removed or replaced under us.
struct IdentidadArchivo {
    dev_t dispositivo = 0;
    ino_t nodo = 0;
    bool existe = false;
    bool operator==(const IdentidadArchivo&) const = default;
};

IdentidadArchivo identidad(const QString& ruta) {
    struct stat st {};
    if (ruta.isEmpty() || ::stat(QFile::encodeName(ruta).constData(), &st) != 0) return {};
    return {st.st_dev, st.st_ino, true};
}

class BaseDatosQt : public BaseDatos {
public:
    // `ruta`: the SQLite file behind the connection, watched at every batch; empty
    // for a server.
    BaseDatosQt(std::shared_ptr<Conexion> conexion, Dialecto dialecto, QString ruta = {})
        : conexion_(std::move(conexion)), dialecto_(dialecto), ruta_(std::move(ruta)),
          archivo_(identidad(ruta_)) {}

    Dialecto dialecto() const override { return dialecto_; }

    Fallo ejecutar(const QString& sentencia) override {
        // Inside a batch the file is checked at its start and before its commit.
        if (!enTransaccion_) vigilarArchivo();
        if (Fallo f = asegurarConexion()) return f;
        // The event rows all share one shape: one prepared statement per shape,
        // bound with the values taken from the statement's text.
        if (partir_insert(sentencia, partido_)) {
            if (dialecto_ == Dialecto::SQLite) {
                if (InsercionSQLite* ins = insercionNativa()) {
                    if (ins->parametros() == static_cast<int>(partido_.valores.size()))
                        return ins->ejecutar(sentencia, partido_);
                }
            } else if (QSqlQuery* q = preparada()) {
                for (size_t i = 0; i < partido_.valores.size(); ++i) {
                    const InsertPartido::Valor& v = partido_.valores[i];
                    const QStringView valor = QStringView(sentencia).mid(v.desde, v.largo);
                    q->bindValue(static_cast<int>(i), v.texto ? QVariant(valor.isEmpty() ? QString(QLatin1String(""))
                                                                                          : valor.toString())
                                                              : QVariant(valor.toLongLong()));
                }
                if (q->exec()) return {};
                const Fallo f = anotar(fallo_de(q->lastError(), dialecto_));
                // After a lost connection the statement is prepared again.
                if (f.numero == fallos::kConexionPerdida) preparadas_.clear();
                return f;
            }
        }
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
        vigilarArchivo();
        if (Fallo f = asegurarConexion()) return f;
        if (!conexion_->db().transaction()) return anotar(fallo_de(conexion_->db().lastError(), dialecto_));
        enTransaccion_ = true;
        return {};
    }
    Fallo confirmarLote() override {
        // A file removed during the batch: its rows are not committed into it but
        // run again, one by one, into the file opened anew.
        if (!ruta_.isEmpty() && !(identidad(ruta_) == archivo_)) {
            deshacerLote();
            return {fallos::kArchivoNoEncontrado, QStringLiteral("el archivo de la base desapareció")};
        }
        enTransaccion_ = false;
        if (conexion_->db().commit()) return {};
        return anotar(fallo_de(conexion_->db().lastError(), dialecto_));
    }
    void deshacerLote() override {
        enTransaccion_ = false;
        conexion_->db().rollback();
    }

private:
    // The prepared statement of the current INSERT's shape, or null when the
    // engine could not prepare it (the statement then runs as text).
    QSqlQuery* preparada() {
        const QString cabecera = partido_.cabecera.toString();
        auto it = preparadas_.find(cabecera);
        if (it == preparadas_.end()) {
            QSqlQuery q(conexion_->db());
            if (!q.prepare(texto_preparado(partido_.cabecera, partido_.valores.size())))
                q = QSqlQuery(conexion_->db());
            it = preparadas_.insert(cabecera, q);
        }
        return it->lastQuery().isEmpty() ? nullptr : &it.value();
    }

    InsercionSQLite* insercionNativa() {
        if (!nativas_.empty() && nativas_.back().first == partido_.cabecera) return nativas_.back().second.get();
        for (auto& [cabecera, ins] : nativas_)
            if (cabecera == partido_.cabecera) return ins.get();
        const QVariant manejador = conexion_->db().driver()->handle();
        if (qstrcmp(manejador.typeName(), "sqlite3*") != 0) return nullptr;
        sqlite3* db = *static_cast<sqlite3* const*>(manejador.constData());
        if (db == nullptr) return nullptr;
        auto ins = std::make_unique<InsercionSQLite>(
            db, texto_preparado(partido_.cabecera, partido_.valores.size()));
        if (!ins->preparada()) return nullptr;
        nativas_.emplace_back(partido_.cabecera.toString(), std::move(ins));
        return nativas_.back().second.get();
    }

    // A database file removed (or replaced) while open would swallow every later
    // row into a file nobody can see. When the path no longer names the file that
    // was opened, the connection is opened again on the path, creating the file
    // and its table anew; until that succeeds the statements fail and are logged.
    // Returns true when the connection was opened again.
    bool vigilarArchivo() {
        if (ruta_.isEmpty() || (archivo_.existe && identidad(ruta_) == archivo_)) return false;
        nativas_.clear();
        preparadas_.clear();
        Fallo fallo;
        auto nueva = conectar_sqlite(ruta_, fallo);
        if (!nueva) {
            // Nothing to write to: statements fail with the reason until the next batch retries.
            conexion_ = std::make_shared<Conexion>(QStringLiteral("QSQLITE"));
            archivo_ = {};
            return true;
        }
        conexion_ = std::move(nueva);
        archivo_ = identidad(ruta_);
        return true;
    }

    // After a lost server connection the next statement first reconnects, so
    // storing resumes by itself as soon as the server is back. Attempts are
    // spaced by kPausaReconexionS; statements in between fail at once.
    Fallo asegurarConexion() {
        if (!reconectar_) return {};
        if (ultimoIntento_.isValid() && ultimoIntento_.elapsed() < kPausaReconexionS * 1000)
            return {fallos::kConexionPerdida, QStringLiteral("sin conexión")};
        ultimoIntento_.start();
        preparadas_.clear();
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
    QString ruta_;
    IdentidadArchivo archivo_;
    bool enTransaccion_ = false;
    bool reconectar_ = false;
    QElapsedTimer ultimoIntento_;
    InsertPartido partido_; // reused: its list keeps its capacity between rows
    QHash<QString, QSqlQuery> preparadas_;
    std::vector<std::pair<QString, std::unique_ptr<InsercionSQLite>>> nativas_;
};

bool ejecutar_esquema(QSqlDatabase& db, const QString& sentencia, Dialecto d, Fallo& fallo) {
    QSqlQuery q(db);
    if (q.exec(sentencia)) return true;
    fallo = fallo_de(q.lastError(), d);
    return false;
}

std::shared_ptr<Conexion> conectar_sqlite(const QString& ruta, Fallo& fallo) {
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
    return conexion;
}

std::unique_ptr<BaseDatos> abrir_sqlite(const QString& ruta, Fallo& fallo) {
    auto conexion = conectar_sqlite(ruta, fallo);
    if (!conexion) return nullptr;
    // An in-memory database has no file to watch.
    return std::make_unique<BaseDatosQt>(std::move(conexion), Dialecto::SQLite,
                                         ruta == kBaseEnMemoria ? QString() : ruta);
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
    // The schema is looked up before anything is created: on a shared server a
    // CREATE, even one that does nothing, waits for other consoles' open batches.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT to_regclass('tabla_general') IS NOT NULL, "
                               "to_regclass('indice_abonado_fecha') IS NOT NULL")) ||
        !q.next()) {
        fallo = fallo_de(q.lastError(), Dialecto::PostgreSQL);
        return nullptr;
    }
    const bool tieneTabla = q.value(0).toBool();
    const bool tieneIndice = q.value(1).toBool();
    q.finish();
    if ((!tieneTabla &&
         !ejecutar_esquema(db, esquema::kCrearTablaPostgreSQL, Dialecto::PostgreSQL, fallo)) ||
        (!tieneIndice && !ejecutar_esquema(db, esquema::kCrearIndice, Dialecto::PostgreSQL, fallo))) {
        return nullptr;
    }
    fallo = {};
    return std::make_unique<BaseDatosQt>(std::move(conexion), Dialecto::PostgreSQL);
}

} // namespace

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
