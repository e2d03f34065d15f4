#include "store/archivo_base.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include "common/registro_errores.h"
#include "store/errores_motor.h"
#include "store/esquema.h"
#include "store/motor_sqlite.h"

namespace corvane {
namespace {

// Milliseconds a read waits for a lock held by a writer (a file in
// rollback-journal mode being written); in WAL mode readers never wait.
constexpr int kEsperaBloqueoMs = 5000;
// Milliseconds the copy keeps retrying a source that a writer holds locked.
constexpr qint64 kEsperaCopiaMs = 10000;
// Milliseconds between those retries.
constexpr int kPausaCopiaMs = 50;

class Conexion {
public:
    Conexion() = default;
    ~Conexion() { sqlite3_close(db_); }
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    // `banderas`: SQLITE_OPEN_READONLY or SQLITE_OPEN_READWRITE, never
    // SQLITE_OPEN_CREATE: the file must exist. With `uri`, the file is opened by
    // that SQLite URI of it instead of by its path.
    Fallo abrir(const QString& ruta, int banderas, const QString& uri = {}) {
        cerrar();
        const QFileInfo info(ruta);
        if (!info.exists())
            return {fallos::kArchivoNoEncontrado, QStringLiteral("el archivo no existe")};
        if (!info.isFile())
            return {fallos::kArchivoNoEncontrado, QStringLiteral("no es un archivo")};
        const QByteArray nombre = uri.isEmpty() ? QFile::encodeName(ruta) : uri.toUtf8();
        const int codigo = sqlite3_open_v2(
            nombre.constData(), &db_, banderas | (uri.isEmpty() ? 0 : SQLITE_OPEN_URI), nullptr);
        if (codigo != SQLITE_OK) return fallo(codigo);
        sqlite3_busy_timeout(db_, kEsperaBloqueoMs);
        return {};
    }
    void cerrar() {
        sqlite3_close(db_);
        db_ = nullptr;
    }
    // The failure of SQLite's `codigo`, with SQLite's own text as its detail.
    static Fallo fallo(int codigo) {
        return {numero_sqlite(codigo), QString::fromUtf8(sqlite3_errstr(codigo))};
    }
    sqlite3* db() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// Reads the schema: the first access to the file, where a file that is not a
// database fails; then whether the event table is there.
Fallo comprobar_tabla(const Conexion& c) {
    const QByteArray sentencia =
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='%1'")
            .arg(esquema::kTabla)
            .toUtf8();
    sqlite3_stmt* consulta = nullptr;
    int codigo = sqlite3_prepare_v2(c.db(), sentencia.constData(), -1, &consulta, nullptr);
    if (codigo == SQLITE_OK) codigo = sqlite3_step(consulta);
    const bool tieneTabla = codigo == SQLITE_ROW && sqlite3_column_int(consulta, 0) == 1;
    sqlite3_finalize(consulta);
    if (codigo != SQLITE_ROW) return Conexion::fallo(codigo);
    if (!tieneTabla)
        return {fallos::kNoEsBaseDeDatos,
                QStringLiteral("no tiene la tabla de eventos %1").arg(esquema::kTabla)};
    return {};
}

// The SQLite URI that opens `ruta` read-only; `inmutable`: as a file that nobody
// changes while it is read, with no lock and no "-wal" or "-shm" file.
QString uri_lectura(const QString& ruta, bool inmutable) {
    QUrl url = QUrl::fromLocalFile(QFileInfo(ruta).absoluteFilePath());
    url.setQuery(inmutable ? QStringLiteral("mode=ro&immutable=1") : QStringLiteral("mode=ro"));
    return url.toString(QUrl::FullyEncoded);
}

// Opens `ruta` read-only and checks it (comprobar_tabla); `uri` receives the
// URI that read it. A WAL file whose "-wal" and "-shm" files SQLite can neither
// find nor make (a read-only folder or medium) fails its first read, with
// SQLITE_CANTOPEN or SQLITE_READONLY. With no "-wal" file every committed row is
// in the file itself, which is then read immutable; not so with a "-journal"
// file, the undo of a writer that stopped mid-transaction, which a read must
// apply first.
Fallo abrir_lectura(Conexion& c, const QString& ruta, QString& uri) {
    uri = uri_lectura(ruta, false);
    if (Fallo f = c.abrir(ruta, SQLITE_OPEN_READONLY, uri)) return f;
    const int primera =
        sqlite3_exec(c.db(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) & 0xff;
    if ((primera == SQLITE_CANTOPEN || primera == SQLITE_READONLY) &&
        !QFileInfo::exists(ruta + QStringLiteral("-wal")) &&
        !QFileInfo::exists(ruta + QStringLiteral("-journal"))) {
        uri = uri_lectura(ruta, true);
        if (Fallo f = c.abrir(ruta, SQLITE_OPEN_READONLY, uri)) return f;
    }
    return comprobar_tabla(c);
}

} // namespace

Fallo comprobar_base_legible(const QString& ruta) {
    Conexion c;
    QString uri;
    return abrir_lectura(c, ruta, uri);
}

Fallo abrir_base_lectura(const QString& ruta, std::unique_ptr<BaseDatos>& base) {
    QString uri;
    {
        Conexion c;
        if (Fallo f = abrir_lectura(c, ruta, uri)) return f;
    }
    return abrir_sqlite_lectura(uri, kEsperaBloqueoMs, base);
}

Fallo copiar_base(const QString& origen, const QString& destino) {
    Conexion fuente;
    QString uri;
    if (Fallo f = abrir_lectura(fuente, origen, uri)) return f;
    Conexion copia;
    if (Fallo f = copia.abrir(destino, SQLITE_OPEN_READWRITE)) return f;
    sqlite3_backup* respaldo = sqlite3_backup_init(copia.db(), "main", fuente.db(), "main");
    if (respaldo == nullptr) return Conexion::fallo(sqlite3_errcode(copia.db()));
    // All pages in one step: one read transaction on the source, so the copy is
    // the database as one moment saw it, however much a console writes meanwhile
    // (a step over part of the pages would start again after each write).
    QElapsedTimer espera;
    espera.start();
    int codigo = SQLITE_OK;
    for (;;) {
        codigo = sqlite3_backup_step(respaldo, -1);
        if ((codigo != SQLITE_BUSY && codigo != SQLITE_LOCKED) ||
            espera.elapsed() >= kEsperaCopiaMs)
            break;
        sqlite3_sleep(kPausaCopiaMs);
    }
    const int final = sqlite3_backup_finish(respaldo);
    if (codigo != SQLITE_DONE) return Conexion::fallo(codigo);
    if (final != SQLITE_OK) return Conexion::fallo(final);
    // The pages carry the source's journal mode; the copy is left as one file,
    // readable where no "-wal" file could be made (a read-only medium).
    char* error = nullptr;
    codigo = sqlite3_exec(copia.db(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, &error);
    sqlite3_free(error);
    if (codigo != SQLITE_OK) return Conexion::fallo(codigo);
    return {};
}

} // namespace corvane
