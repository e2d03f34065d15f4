#include "cola/recuperacion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QUuid>

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <set>

#include "cola/cola_pendientes.h"
#include "store/errores_motor.h"
#include "store/esquema.h"
#include "store/fila_sqlite.h"

namespace corvane {

namespace {

// --- Through SQLite ------------------------------------------------------------

// What SQLite says of a file that is there but is not a sound database: not a
// database, a malformed page, a file shorter than its pages. Read-only files and
// folders, a full disk, missing permissions and locks are no damage.
bool es_dano(int codigo) {
    switch (codigo & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
        return true;
    case SQLITE_IOERR:
        return codigo == SQLITE_IOERR_SHORT_READ;
    default:
        return false;
    }
}

class Conexion {
public:
    ~Conexion() { sqlite3_close_v2(db_); }
    int abrir(const QString& ruta, int modo) {
        const int r = sqlite3_open_v2(QFile::encodeName(ruta).constData(), &db_,
                                      modo | SQLITE_OPEN_NOMUTEX, nullptr);
        sqlite3_extended_result_codes(db_, 1);
        return r;
    }
    // Read-only. A file with no write-ahead log beside it holds all its content
    // and is opened as immutable: nothing is created beside it (a read-only
    // connection of a WAL file otherwise leaves its -wal and -shm), and a folder
    // that cannot take a new file is no obstacle.
    int abrirParaLeer(const QString& ruta) {
        if (QFileInfo::exists(ruta + QStringLiteral("-wal")))
            return abrir(ruta, SQLITE_OPEN_READONLY);
        const QByteArray uri =
            "file:" + QUrl::toPercentEncoding(QFileInfo(ruta).absoluteFilePath(), "/") +
            "?immutable=1";
        const int r =
            sqlite3_open_v2(uri.constData(), &db_,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
        sqlite3_extended_result_codes(db_, 1);
        return r;
    }
    // Steps `sentencia`, handing each row to `fila`: SQLITE_DONE, or the code of the
    // failure that stopped it.
    int recorrer(const QString& sentencia, const std::function<void(sqlite3_stmt*)>& fila = {}) {
        sqlite3_stmt* st = nullptr;
        int r = sqlite3_prepare16_v2(db_, sentencia.utf16(), static_cast<int>(sentencia.size() * 2),
                                     &st, nullptr);
        if (r == SQLITE_OK) {
            while ((r = sqlite3_step(st)) == SQLITE_ROW)
                if (fila) fila(st);
        }
        sqlite3_finalize(st);
        return r;
    }
    Fallo fallo(int codigo) const {
        return {numero_sqlite(codigo), QString::fromUtf8(sqlite3_errstr(codigo))};
    }
    sqlite3* db() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

QString texto_columna(sqlite3_stmt* st, int i) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return t == nullptr ? QString(QLatin1String(""))
                        : QString::fromUtf8(t, sqlite3_column_bytes(st, i));
}

enum class Estado { Sana, Danada, Inaccesible };

// Opens `ruta` read-only and checks every page of it (PRAGMA quick_check).
Estado examinar(const QString& ruta, Fallo& f) {
    Conexion c;
    int r = c.abrirParaLeer(ruta);
    bool problemas = false;
    if (r == SQLITE_OK)
        r = c.recorrer(QStringLiteral("PRAGMA quick_check"), [&](sqlite3_stmt* st) {
            problemas = problemas || texto_columna(st, 0) != QLatin1String("ok");
        });
    if (r == SQLITE_DONE) return problemas ? Estado::Danada : Estado::Sana;
    if (es_dano(r)) return Estado::Danada;
    f = c.fallo(r);
    return Estado::Inaccesible;
}

// The rows as SQLite reads them, each table in order up to its first failure;
// `contador`: the event rows' AUTOINCREMENT counter, 0 when not read.
void leer_con_sqlite(const QString& ruta, ColaRecuperada& cola, qint64& contador) {
    Conexion c;
    if (c.abrirParaLeer(ruta) != SQLITE_OK) return;
    c.recorrer(QStringLiteral("SELECT nombre FROM identidad"),
               [&](sqlite3_stmt* st) { cola.identidad = texto_columna(st, 0); });
    c.recorrer(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name='pendientes'"),
               [&](sqlite3_stmt* st) { contador = sqlite3_column_int64(st, 0); });
    // Queues of older versions have no column of the row's key.
    bool conClave = false;
    c.recorrer(QStringLiteral(
                   "SELECT count(*) FROM pragma_table_info('pendientes') WHERE name='identidad'"),
               [&](sqlite3_stmt* st) { conClave = sqlite3_column_int(st, 0) > 0; });
    const QString eventos = QStringLiteral("SELECT secuencia,") + esquema::lista_columnas() +
                            (conClave ? QStringLiteral(",identidad") : QString()) +
                            QStringLiteral(" FROM pendientes ORDER BY secuencia");
    c.recorrer(eventos, [&](sqlite3_stmt* st) {
        EventoRecuperado e;
        if (conClave)
            e.identidad = sqlite3_column_type(st, static_cast<int>(esquema::kColumnas.size()) +
                                                      1) == SQLITE_NULL
                              ? QString()
                              : texto_columna(st, static_cast<int>(esquema::kColumnas.size()) + 1);
        e.secuencia = sqlite3_column_int64(st, 0);
        int i = 1;
        for (const esquema::Columna& col : esquema::kColumnas) {
            if (col.texto == nullptr)
                e.fila.nivel = sqlite3_column_int(st, i);
            else
                e.fila.*col.texto = texto_columna(st, i);
            ++i;
        }
        cola.eventos.push_back(std::move(e));
    });
    // A queue of an older version has no column of handling steps.
    for (const QString& ciclo : {QStringLiteral("ciclo"), QStringLiteral("NULL")}) {
        const QString alarmas = QStringLiteral("SELECT secuencia,reconocimiento,") +
                                esquema::lista_columnas_alarma() + QLatin1Char(',') + ciclo +
                                QStringLiteral(" FROM alarmas ORDER BY secuencia");
        const int r = c.recorrer(alarmas, [&](sqlite3_stmt* st) {
            AlarmaPendiente a;
            a.secuencia = sqlite3_column_int64(st, 0);
            a.reconocimiento = sqlite3_column_int(st, 1) != 0;
            int i = 2;
            for (const esquema::ColumnaAlarma& col : esquema::kColumnasAlarma)
                a.fila.*col.texto = texto_columna(st, i++);
            a.ciclo = texto_columna(st, i);
            cola.alarmas.push_back(std::move(a));
        });
        if (r == SQLITE_DONE || !cola.alarmas.empty()) break;
    }
}

// The fresh queue's counter of event rows starts this far above the last row
// recovered and above the old counter, if SQLite could read it: rows moved to the
// target and removed from the queue had numbers up to the true counter, which the
// target's control record holds, and a new row must never get one of them (the
// target would take it for one it holds already). A damaged file's counter may
// be an old copy, or a value read through a page that is wrong. 2^40 rows are
// centuries of traffic at any rate a receiver reaches.
constexpr qint64 kSaltoSecuencia = qint64{1} << 40;

// The fresh queue at `ruta`: created as the queue creates itself, then, in one
// transaction, the old identity (when readable; otherwise the new file's own
// stays: the target's control record knows nothing of it, so a recovered row that
// the target held already, moved but not yet removed when the file was damaged,
// would be stored again; there is no telling which without the old name, and a
// row lost is worse than one stored twice), the rows with their old sequence
// numbers, and the counter. It is left in rollback-journal mode, one file to
// rename; the queue puts it back into WAL at its next opening.
Fallo escribir_cola(const QString& ruta, const ColaRecuperada& cola, qint64 contador) {
    {
        ColaPendientes nueva;
        if (Fallo f = nueva.abrir(ruta)) return f;
    }
    Conexion c;
    int r = c.abrir(ruta, SQLITE_OPEN_READWRITE);
    if (r != SQLITE_OK) return c.fallo(r);
    const auto ejecutar = [&](const QString& s) { return c.recorrer(s) == SQLITE_DONE; };
    QString evento = QStringLiteral("INSERT INTO pendientes (") + esquema::lista_columnas() +
                     QStringLiteral(",secuencia,identidad) VALUES (?,?");
    for (size_t i = 0; i < esquema::kColumnas.size(); ++i) evento += QStringLiteral(",?");
    QString alarma = QStringLiteral("INSERT INTO alarmas (secuencia,reconocimiento,") +
                     esquema::lista_columnas_alarma() + QStringLiteral(",ciclo) VALUES (?,?,?");
    for (size_t i = 0; i < esquema::kColumnasAlarma.size(); ++i) alarma += QStringLiteral(",?");
    const qint64 ultima = cola.eventos.empty() ? 0 : cola.eventos.back().secuencia;
    const qint64 siguiente = std::max(contador, ultima) + kSaltoSecuencia;
    if (!ejecutar(QStringLiteral("BEGIN IMMEDIATE")))
        return c.fallo(sqlite3_extended_errcode(c.db()));
    sqlite3_stmt* st = nullptr;
    bool bien = cola.identidad.isEmpty();
    if (!bien && sqlite3_prepare_v2(c.db(), "UPDATE identidad SET nombre=?", -1, &st, nullptr) ==
                     SQLITE_OK) {
        const QByteArray nombre = cola.identidad.toUtf8();
        sqlite3_bind_text(st, 1, nombre.constData(), static_cast<int>(nombre.size()),
                          SQLITE_TRANSIENT);
        bien = sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    st = nullptr;
    const QString e = evento + QLatin1Char(')');
    if (bien && sqlite3_prepare16_v2(c.db(), e.utf16(), static_cast<int>(e.size() * 2), &st,
                                     nullptr) == SQLITE_OK) {
        for (const EventoRecuperado& x : cola.eventos) {
            vincular_fila(st, x.fila);
            sqlite3_bind_int64(st, static_cast<int>(esquema::kColumnas.size()) + 1, x.secuencia);
            const QByteArray clave = x.identidad.toUtf8();
            if (x.identidad.isEmpty())
                sqlite3_bind_null(st, static_cast<int>(esquema::kColumnas.size()) + 2);
            else
                sqlite3_bind_text(st, static_cast<int>(esquema::kColumnas.size()) + 2,
                                  clave.constData(), static_cast<int>(clave.size()),
                                  SQLITE_TRANSIENT);
            bien = bien && sqlite3_step(st) == SQLITE_DONE;
            sqlite3_reset(st);
        }
    } else {
        bien = false;
    }
    sqlite3_finalize(st);
    st = nullptr;
    const QString a = alarma + QLatin1Char(')');
    if (bien && sqlite3_prepare16_v2(c.db(), a.utf16(), static_cast<int>(a.size() * 2), &st,
                                     nullptr) == SQLITE_OK) {
        for (const AlarmaPendiente& x : cola.alarmas) {
            sqlite3_bind_int64(st, 1, x.secuencia);
            sqlite3_bind_int(st, 2, x.reconocimiento ? 1 : 0);
            int i = 3;
            std::vector<QByteArray> textos;
            for (const esquema::ColumnaAlarma& col : esquema::kColumnasAlarma) {
                textos.push_back((x.fila.*col.texto).toUtf8());
                sqlite3_bind_text(st, i++, textos.back().constData(),
                                  static_cast<int>(textos.back().size()), SQLITE_TRANSIENT);
            }
            const QByteArray ciclo = x.ciclo.toUtf8();
            if (x.ciclo.isEmpty())
                sqlite3_bind_null(st, i);
            else
                sqlite3_bind_text(st, i, ciclo.constData(), static_cast<int>(ciclo.size()),
                                  SQLITE_TRANSIENT);
            bien = bien && sqlite3_step(st) == SQLITE_DONE;
            sqlite3_reset(st);
        }
    } else {
        bien = false;
    }
    sqlite3_finalize(st);
    bien = bien &&
           ejecutar(QStringLiteral("INSERT INTO sqlite_sequence (name,seq) SELECT 'pendientes',0 "
                                   "WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE "
                                   "name='pendientes')")) &&
           ejecutar(QStringLiteral("UPDATE sqlite_sequence SET seq=%1 WHERE name='pendientes'")
                        .arg(siguiente)) &&
           ejecutar(QStringLiteral("COMMIT"));
    if (!bien) {
        const Fallo f = c.fallo(sqlite3_extended_errcode(c.db()));
        static_cast<void>(ejecutar(QStringLiteral("ROLLBACK")));
        return f;
    }
    if (!ejecutar(QStringLiteral("PRAGMA journal_mode=DELETE")))
        return c.fallo(sqlite3_extended_errcode(c.db()));
    return {};
}

const std::array<QLatin1String, 3> kCompanieros{QLatin1String("-wal"), QLatin1String("-shm"),
                                                QLatin1String("-journal")};

void borrar_con_companieros(const QString& ruta) {
    QFile::remove(ruta);
    for (const QLatin1String s : kCompanieros) QFile::remove(ruta + s);
}

bool renombrar(const QString& de, const QString& a) {
    return std::rename(QFile::encodeName(de).constData(), QFile::encodeName(a).constData()) == 0;
}

// The renames made durable: the folder's entries written to the disk.
void sincronizar_carpeta(const QString& ruta) {
    const int fd = ::open(QFile::encodeName(QFileInfo(ruta).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// "pendientes.db.dañada-20261207-215300", with "-2", "-3"... when a file of that
// second is there already.
QString nombre_apartado(const QString& ruta, const QDateTime& momento) {
    const QString base =
        ruta + QStringLiteral(".dañada-") + momento.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString nombre = base;
    for (int n = 2; QFileInfo::exists(nombre) || QFileInfo::exists(nombre + kCompanieros[0]); ++n)
        nombre = base + QLatin1Char('-') + QString::number(n);
    return nombre;
}

} // namespace

Fallo recuperar_cola(const QString& ruta, const QDateTime& momento, Recuperacion& r) {
    r = {};
    if (!QFileInfo(ruta).isFile()) return {};
    QFile archivo(ruta), wal(ruta + kCompanieros[0]);
    if (!archivo.open(QIODevice::ReadOnly))
        return {fallos::kArchivoNoEncontrado, archivo.errorString()};
    const bool corta = cola_cortada(archivo.read(100), archivo.size(), wal.exists());
    Fallo f;
    switch (corta ? Estado::Danada : examinar(ruta, f)) {
    case Estado::Sana:
        return {};
    case Estado::Inaccesible:
        return f;
    case Estado::Danada:
        break;
    }
    // A page cut short would come back through SQLite with zeros for its missing
    // bytes: such a file is read by hand only. Otherwise SQLite's rows first, and
    // then, always, those of the scan that it did not reach: over a damaged file it
    // may end a read without an error yet short of rows (a wrong page size in the
    // header, an inner page that points elsewhere).
    ColaRecuperada cola;
    qint64 contador = 0;
    if (!corta) leer_con_sqlite(ruta, cola, contador);
    const QByteArray log = wal.open(QIODevice::ReadOnly) ? wal.readAll() : QByteArray();
    archivo.seek(0);
    cola.unir(explorar_paginas(archivo.readAll(), log));
    // The fresh queue is written whole beside the damaged one before anything is
    // moved: a folder or disk that cannot take it leaves everything as it was.
    const QString nueva = ruta + QStringLiteral(".recuperando");
    borrar_con_companieros(nueva);
    if (Fallo g = escribir_cola(nueva, cola, contador)) {
        borrar_con_companieros(nueva);
        return g;
    }
    const QString apartada = nombre_apartado(ruta, momento);
    for (const QLatin1String s : kCompanieros)
        if (QFileInfo::exists(ruta + s) && !renombrar(ruta + s, apartada + s))
            return {fallos::kSoloLectura, QStringLiteral("no se pudo apartar ") + ruta + s};
    if (!renombrar(ruta, apartada) || !renombrar(nueva, ruta)) {
        borrar_con_companieros(nueva);
        return {fallos::kSoloLectura, QStringLiteral("no se pudo apartar ") + ruta};
    }
    sincronizar_carpeta(ruta);
    r.apartada = apartada;
    r.eventos = static_cast<qint64>(cola.eventos.size());
    r.alarmas = static_cast<qint64>(cola.alarmas.size());
    r.identidadNueva = cola.identidad.isEmpty();
    return {};
}

} // namespace corvane
