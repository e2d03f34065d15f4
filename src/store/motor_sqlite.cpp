#include "store/motor_sqlite.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>
#include <sys/stat.h>

#include "common/registro_errores.h"
#include "store/base_qt.h"
#include "store/errores_motor.h"
#include "store/fila_sqlite.h"
#include "store/literales.h"

namespace corvane {
namespace {

// Milliseconds a statement waits for a lock held by another process: short, so
// that a file held by someone else costs the receive road little; the rows it
// refuses wait in the local queue of pending rows.
constexpr int kEsperaBloqueoMs = 300;

// The INSERT of the event row as a native SQLite statement on the Qt connection's
// own handle: Qt's bindValue costs more than the insert itself.
class InsercionSQLite {
public:
    explicit InsercionSQLite(sqlite3* db) {
        const QString texto = esquema::insert_preparado();
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

    Fallo ejecutar(const FilaEvento& fila) {
        vincular_fila(stmt_, fila);
        const int codigo = sqlite3_step(stmt_);
        Fallo f;
        if (codigo != SQLITE_DONE && codigo != SQLITE_ROW)
            f = {numero_sqlite(codigo), QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(stmt_)))};
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return f;
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// The driver's own handle of an open connection, or null.
sqlite3* manejador_sqlite(const QSqlDatabase& db) {
    const QVariant manejador = db.driver()->handle();
    return qstrcmp(manejador.typeName(), "sqlite3*") == 0 ? *static_cast<sqlite3* const*>(manejador.constData())
                                                          : nullptr;
}

// A prepared statement finalized on every way out.
struct SentenciaPreparada {
    sqlite3_stmt* st = nullptr;
    ~SentenciaPreparada() { sqlite3_finalize(st); }
};

Fallo fallo_sqlite(sqlite3* db, int codigo) {
    return {numero_sqlite(codigo), QString::fromUtf8(sqlite3_errmsg(db))};
}

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

// One SQLite value read back, or the failure of reading it.
Fallo consultar(QSqlDatabase& db, const QString& sentencia, QVariant& valor) {
    QSqlQuery q(db);
    if (!q.exec(sentencia) || !q.next()) return fallo_de(q.lastError(), Dialecto::SQLite);
    valor = q.value(0);
    return {};
}

Fallo conectar(const QString& ruta, std::shared_ptr<Conexion>& resultado) {
    const bool enMemoria = ruta == kBaseEnMemoria;
    const QFileInfo info(ruta);
    if (!enMemoria && info.exists() && !info.isFile())
        return {fallos::kArchivoNoEncontrado, QStringLiteral("no es un archivo: ") + ruta};
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
        Fallo f = fallo_de(db.lastError(), Dialecto::SQLite);
        if (f.numero == fallos::kMotorGeneral) f.numero = fallos::kArchivoNoEncontrado;
        return f;
    }
    // Reading the schema is the first access to the file: a file that is not a
    // database fails here, before anything could be written to it.
    QVariant tablas;
    if (Fallo f = consultar(db,
                            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name='%1'")
                                .arg(esquema::kTabla),
                            tablas))
        return f;
    // WAL with synchronous=FULL: a committed row survives a power cut. The answer
    // is the mode in force: a file that cannot take WAL (a read-only file, a file
    // system without shared memory) keeps its rollback journal, as durable with
    // synchronous=FULL, and an in-memory database answers "memory". A read-only
    // file, or one locked by another process, still opens in the mode it has (it
    // can be queried; a write that fails is logged); any other failure here is
    // the open's.
    QVariant modo;
    if (Fallo f = consultar(db, QStringLiteral("PRAGMA journal_mode=WAL"), modo);
        f && f.numero != fallos::kSoloLectura && f.numero != fallos::kBloqueada)
        return f;
    if (Fallo f = ejecutar_en(db, QStringLiteral("PRAGMA synchronous=FULL"), Dialecto::SQLite)) return f;
    if (tablas.toInt() == 0) {
        if (Fallo f = ejecutar_en(db, esquema::crear_tabla_sqlite(), Dialecto::SQLite)) return f;
    }
    QVariant indices;
    if (!consultar(db,
                   QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name='%1'")
                       .arg(esquema::kIndice),
                   indices) &&
        indices.toInt() == 0) {
        // A read-only file keeps working without the index; only the query is slower.
        [[maybe_unused]] const Fallo ignorado = ejecutar_en(db, esquema::kCrearIndice, Dialecto::SQLite);
    }
    if (!consultar(db,
                   QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name='%1'")
                       .arg(esquema::kIndiceMomento),
                   indices) &&
        indices.toInt() == 0) {
        [[maybe_unused]] const Fallo ignorado = ejecutar_en(db, esquema::kCrearIndiceMomentoSQLite, Dialecto::SQLite);
    }
    resultado = std::move(conexion);
    return {};
}

class BaseSQLite : public BaseQt {
public:
    // `ruta`: the file behind the connection, watched at every batch; empty in memory.
    BaseSQLite(std::shared_ptr<Conexion> conexion, QString ruta)
        : BaseQt(std::move(conexion), Dialecto::SQLite), ruta_(std::move(ruta)), archivo_(identidad(ruta_)) {}

    // The statement runs on the driver's own handle: Qt's values (a QVariant per
    // field) would cost more than reading the file.
    Fallo recorrer(const QString& sentencia, const FuncionFila& fila) override {
        if (Fallo f = alistar()) return f;
        sqlite3* db = manejador_sqlite(conexion_->db());
        if (db == nullptr) return {fallos::kSinObjeto, QStringLiteral("la base no está abierta")};
        const QString texto = traducir_sentencia(sentencia, Dialecto::SQLite);
        SentenciaPreparada p;
        if (const int c = sqlite3_prepare16_v2(db, texto.utf16(), static_cast<int>(texto.size() * 2), &p.st, nullptr);
            c != SQLITE_OK)
            return fallo_sqlite(db, c);
        if (p.st == nullptr) return {fallos::kSentenciaRechazada, QStringLiteral("sentencia vacía")};
        ValoresFila valores(static_cast<size_t>(sqlite3_column_count(p.st)));
        for (;;) {
            const int c = sqlite3_step(p.st);
            if (c == SQLITE_DONE) return {};
            if (c != SQLITE_ROW) return fallo_sqlite(db, c);
            for (size_t i = 0; i < valores.size(); ++i) {
                const int col = static_cast<int>(i);
                const auto* texto8 = reinterpret_cast<const char*>(sqlite3_column_text(p.st, col));
                valores[i] = texto8 == nullptr ? std::string_view()
                                               : std::string_view(texto8, static_cast<size_t>(sqlite3_column_bytes(p.st, col)));
            }
            if (Fallo f = fila(valores)) return f;
        }
    }

    // One INSERT prepared on the driver's handle and run for every row: Qt's
    // QVariant per value would cost more than the insert.
    Fallo cargarFilas(const QString& tabla, const QStringList& columnas, const ValoresTexto& valores) override {
        if (Fallo f = alistar()) return f;
        sqlite3* db = manejador_sqlite(conexion_->db());
        if (db == nullptr) return {fallos::kSinObjeto, QStringLiteral("la base no está abierta")};
        QString texto = QStringLiteral("INSERT INTO ") + tabla + QStringLiteral(" (") +
                        columnas.join(QLatin1Char(',')) + QStringLiteral(") VALUES (");
        for (qsizetype i = 0; i < columnas.size(); ++i) texto += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
        texto += QLatin1Char(')');
        SentenciaPreparada p;
        if (const int c = sqlite3_prepare16_v2(db, texto.utf16(), static_cast<int>(texto.size() * 2), &p.st, nullptr);
            c != SQLITE_OK)
            return fallo_sqlite(db, c);
        const size_t n = static_cast<size_t>(columnas.size());
        for (size_t fila = 0; n > 0 && fila + n <= valores.cantidad(); fila += n) {
            for (size_t i = 0; i < n; ++i) {
                const std::string_view v = valores.valor(fila + i);
                sqlite3_bind_text(p.st, static_cast<int>(i + 1), v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
            }
            const int c = sqlite3_step(p.st);
            if (c != SQLITE_DONE) return fallo_sqlite(db, c);
            sqlite3_reset(p.st);
        }
        return {};
    }

protected:
    // Inside a batch the file is checked at its start and before its commit.
    Fallo alistar() override {
        if (!enTransaccion()) vigilarArchivo();
        return {};
    }
    Fallo insertar(const FilaEvento& fila) override {
        if (!insercion_) {
            sqlite3* db = manejador_sqlite(conexion_->db());
            if (db == nullptr) return {fallos::kSinObjeto, QStringLiteral("la base no está abierta")};
            insercion_ = std::make_unique<InsercionSQLite>(db);
        }
        if (!insercion_->preparada()) {
            // The table was dropped or changed under us: prepared again at the next row.
            insercion_.reset();
            QSqlQuery q(conexion_->db());
            q.prepare(esquema::insert_preparado());
            return fallo(q.lastError());
        }
        return insercion_->ejecutar(fila);
    }
    // A file removed during the batch: its rows are not committed into it but
    // run again, one by one, into the file opened anew.
    Fallo antesDeConfirmar() override {
        if (!ruta_.isEmpty() && !(identidad(ruta_) == archivo_))
            return {fallos::kArchivoNoEncontrado, QStringLiteral("el archivo de la base desapareció")};
        return {};
    }

private:
    // A database file removed (or replaced) while open would swallow every later
    // row into a file nobody can see. When the path no longer names the file that
    // was opened, the connection is opened again on the path, creating the file
    // and its table anew; until that succeeds the statements fail and are logged.
    void vigilarArchivo() {
        if (ruta_.isEmpty() || (archivo_.existe && identidad(ruta_) == archivo_)) return;
        insercion_.reset();
        std::shared_ptr<Conexion> nueva;
        if (conectar(ruta_, nueva)) {
            // Nothing to write to: statements fail with the reason until the next batch retries.
            conexion_ = std::make_shared<Conexion>(QStringLiteral("QSQLITE"));
            archivo_ = {};
            return;
        }
        conexion_ = std::move(nueva);
        archivo_ = identidad(ruta_);
    }

    QString ruta_;
    IdentidadArchivo archivo_;
    std::unique_ptr<InsercionSQLite> insercion_;
};

} // namespace

Fallo abrir_sqlite(const QString& ruta, std::unique_ptr<BaseDatos>& base) {
    std::shared_ptr<Conexion> conexion;
    if (Fallo f = conectar(ruta, conexion)) return f;
    // An in-memory database has no file to watch.
    base = std::make_unique<BaseSQLite>(std::move(conexion), ruta == kBaseEnMemoria ? QString() : ruta);
    return {};
}

Fallo abrir_sqlite_lectura(const QString& uri, int esperaBloqueoMs,
                           std::unique_ptr<BaseDatos>& base) {
    auto conexion = std::make_shared<Conexion>(QStringLiteral("QSQLITE"));
    QSqlDatabase db = conexion->db();
    db.setDatabaseName(uri);
    db.setConnectOptions(
        QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1")
            .arg(esperaBloqueoMs));
    if (!db.open()) {
        Fallo f = fallo_de(db.lastError(), Dialecto::SQLite);
        if (f.numero == fallos::kMotorGeneral) f.numero = fallos::kArchivoNoEncontrado;
        return f;
    }
    base = std::make_unique<BaseSQLite>(std::move(conexion), QString());
    return {};
}

} // namespace corvane
