#include "app/archivo_base.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include "common/registro_errores.h"
#include "store/errores_motor.h"
#include "store/esquema.h"

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
    // SQLITE_OPEN_CREATE: the file must exist.
    Fallo abrir(const QString& ruta, int banderas) {
        const QFileInfo info(ruta);
        if (!info.exists())
            return {fallos::kArchivoNoEncontrado, QStringLiteral("el archivo no existe")};
        if (!info.isFile())
            return {fallos::kArchivoNoEncontrado, QStringLiteral("no es un archivo")};
        const int codigo =
            sqlite3_open_v2(QFile::encodeName(ruta).constData(), &db_, banderas, nullptr);
        if (codigo != SQLITE_OK) return fallo(codigo);
        sqlite3_busy_timeout(db_, kEsperaBloqueoMs);
        return {};
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

} // namespace

Fallo comprobar_base_legible(const QString& ruta) {
    Conexion c;
    if (Fallo f = c.abrir(ruta, SQLITE_OPEN_READONLY)) return f;
    return comprobar_tabla(c);
}

Fallo copiar_base(const QString& origen, const QString& destino) {
    Conexion fuente;
    if (Fallo f = fuente.abrir(origen, SQLITE_OPEN_READONLY)) return f;
    if (Fallo f = comprobar_tabla(fuente)) return f;
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
