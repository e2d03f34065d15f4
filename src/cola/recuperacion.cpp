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

using Bytes = const unsigned char*;

// --- The file format, read by hand -------------------------------------------

// A varint: 1 to 9 bytes, big-endian, 7 bits from each of the first eight
// (the high bit says another follows), all 8 of the ninth. False past `fin`.
bool leer_varint(Bytes& p, Bytes fin, quint64& v) {
    v = 0;
    for (int i = 0; i < 9; ++i) {
        if (p >= fin) return false;
        const unsigned char b = *p++;
        if (i == 8) {
            v = (v << 8) | b;
            return true;
        }
        v = (v << 7) | (b & 0x7f);
        if ((b & 0x80) == 0) return true;
    }
    return true;
}

quint32 grande(Bytes p, int n) {
    quint32 v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

// One value of a record: its serial type and where its bytes start.
struct Valor {
    quint64 tipo;
    Bytes datos;
};

// Bytes of a value of serial type `t`: 0 NULL; 1-6 integers of 1, 2, 3, 4, 6, 8
// bytes; 7 a float; 8 and 9 the integers 0 and 1; 10 and 11 reserved (-1);
// even from 12 a blob, odd from 13 a text, of (t - 12) / 2 bytes.
qint64 largo_de(quint64 t) {
    constexpr std::array<qint64, 12> kLargos{0, 1, 2, 3, 4, 6, 8, 8, 0, 0, -1, -1};
    return t < 12 ? kLargos[t] : static_cast<qint64>((t - 12) / 2);
}

bool es_nulo(const Valor& v) {
    return v.tipo == 0;
}
bool es_entero(const Valor& v) {
    return (v.tipo >= 1 && v.tipo <= 6) || v.tipo == 8 || v.tipo == 9;
}
bool es_texto(const Valor& v) {
    return v.tipo >= 13 && v.tipo % 2 == 1;
}

qint64 entero(const Valor& v) {
    if (v.tipo == 8 || v.tipo == 9) return v.tipo == 9 ? 1 : 0;
    const qint64 n = largo_de(v.tipo);
    // Two's complement, big-endian: the first byte carries the sign.
    qint64 r = static_cast<signed char>(v.datos[0]);
    for (qint64 i = 1; i < n; ++i) r = r * 256 + v.datos[i];
    return r;
}

// A queue file is always UTF-8: the queue creates it so.
QString texto(const Valor& v) {
    if (es_nulo(v)) return QString(QLatin1String(""));
    return QString::fromUtf8(reinterpret_cast<const char*>(v.datos), largo_de(v.tipo));
}

// The values of the record that fills `p`..`fin` exactly; false when the bytes
// are not one well-formed record.
bool leer_registro(Bytes p, Bytes fin, std::vector<Valor>& valores) {
    valores.clear();
    Bytes q = p;
    quint64 cabecera = 0;
    if (!leer_varint(q, fin, cabecera) || cabecera < 1 || cabecera > static_cast<quint64>(fin - p))
        return false;
    Bytes finCabecera = p + cabecera, cuerpo = finCabecera;
    while (q < finCabecera) {
        quint64 t = 0;
        if (!leer_varint(q, finCabecera, t)) return false;
        const qint64 n = largo_de(t);
        if (n < 0 || n > fin - cuerpo || valores.size() > 64) return false;
        valores.push_back({t, cuerpo});
        cuerpo += n;
    }
    return q == finCabecera && cuerpo == fin;
}

// A record shaped as a row of pendientes: the sequence (stored as NULL, the rowid
// stands for it), then esquema::kColumnas, the level an integer, the rest texts,
// then (in queues that key their rows) the key, a text or NULL.
bool tomar_evento(qint64 rowid, const std::vector<Valor>& v, EventoRecuperado& e) {
    const size_t n = 1 + esquema::kColumnas.size();
    if ((v.size() != n && v.size() != n + 1) || !es_nulo(v[0]) || rowid <= 0) return false;
    if (v.size() == n + 1) {
        if (!es_texto(v[n]) && !es_nulo(v[n])) return false;
        e.identidad = es_texto(v[n]) ? texto(v[n]) : QString();
    }
    e.secuencia = rowid;
    for (size_t i = 0; i < esquema::kColumnas.size(); ++i) {
        const esquema::Columna& c = esquema::kColumnas[i];
        const Valor& x = v[i + 1];
        if (c.texto == nullptr ? !es_entero(x) : !es_texto(x)) return false;
        if (c.texto == nullptr)
            e.fila.nivel = static_cast<int>(entero(x));
        else
            e.fila.*c.texto = texto(x);
    }
    return true;
}

// A row of alarmas: the sequence as NULL, the kind (an integer), then
// esquema::kColumnasAlarma, texts (NULL taken as the empty text).
bool tomar_alarma(qint64 rowid, const std::vector<Valor>& v, AlarmaPendiente& a) {
    if (v.size() != 2 + esquema::kColumnasAlarma.size() || !es_nulo(v[0]) || !es_entero(v[1]) ||
        rowid <= 0)
        return false;
    a.secuencia = rowid;
    a.reconocimiento = entero(v[1]) != 0;
    for (size_t i = 0; i < esquema::kColumnasAlarma.size(); ++i) {
        const Valor& x = v[i + 2];
        if (!es_texto(x) && !es_nulo(x)) return false;
        a.fila.*esquema::kColumnasAlarma[i].texto = texto(x);
    }
    return true;
}

// The identity: a record of one text, a UUID without braces.
bool tomar_identidad(const std::vector<Valor>& v, QString& identidad) {
    if (v.size() != 1 || !es_texto(v[0]) || largo_de(v[0].tipo) != 36) return false;
    const QString t = texto(v[0]);
    if (QUuid::fromString(t).isNull()) return false;
    identidad = t;
    return true;
}

// What a scan finds, each sequence number once (the first copy found).
struct Hallazgos {
    ColaRecuperada cola;
    std::set<qint64> eventos, alarmas;
    int filas() const { return static_cast<int>(cola.eventos.size() + cola.alarmas.size()); }
};

// The cells of one table leaf page (type 13: its b-tree header at byte 0; page 1
// holds the schema and is never passed here). `util`: the page's usable bytes.
void explorar_pagina(Bytes pagina, int util, Hallazgos& h) {
    if (pagina[0] != 0x0D) return;
    const int celdas = static_cast<int>(grande(pagina + 3, 2));
    const int finPunteros = 8 + 2 * celdas;
    if (finPunteros > util) return;
    // The most of a payload kept on the page itself; a longer one spills.
    const quint64 maximoLocal = static_cast<quint64>(util - 35);
    std::vector<Valor> valores;
    for (int i = 0; i < celdas; ++i) {
        const int desde = static_cast<int>(grande(pagina + 8 + 2 * i, 2));
        if (desde < finPunteros || desde >= util) continue;
        Bytes p = pagina + desde, fin = pagina + util;
        quint64 carga = 0, rowid = 0;
        if (!leer_varint(p, fin, carga) || !leer_varint(p, fin, rowid)) continue;
        if (carga > maximoLocal) {
            ++h.cola.desbordadas;
            continue;
        }
        if (carga > static_cast<quint64>(fin - p) || !leer_registro(p, p + carga, valores))
            continue;
        const auto r = static_cast<qint64>(rowid);
        EventoRecuperado e;
        AlarmaPendiente a;
        if (tomar_evento(r, valores, e)) {
            if (h.eventos.insert(r).second) h.cola.eventos.push_back(std::move(e));
        } else if (tomar_alarma(r, valores, a)) {
            if (h.alarmas.insert(r).second) h.cola.alarmas.push_back(std::move(a));
        } else if (h.cola.identidad.isEmpty()) {
            tomar_identidad(valores, h.cola.identidad);
        }
    }
}

bool tamano_valido(quint32 t) {
    return t >= 512 && t <= 65536 && (t & (t - 1)) == 0;
}

// Every whole page of the file, then every whole frame of the log (24 bytes of
// frame header, the page number first, then the page), page 1 left out.
Hallazgos explorar_con(const QByteArray& archivo, const QByteArray& wal, int tamano, int reserva) {
    Hallazgos h;
    const int util = tamano - reserva;
    const auto* datos = reinterpret_cast<Bytes>(archivo.constData());
    for (qsizetype pagina = 1; (pagina + 1) * tamano <= archivo.size(); ++pagina)
        explorar_pagina(datos + pagina * tamano, util, h);
    if (wal.size() < 32) return h;
    const auto* log = reinterpret_cast<Bytes>(wal.constData());
    const quint32 magia = grande(log, 4), tamanoLog = grande(log + 8, 4);
    const bool cabeceraLog =
        (magia == 0x377f0682 || magia == 0x377f0683) && tamano_valido(tamanoLog);
    const qsizetype marco = 24 + (cabeceraLog ? tamanoLog : tamano);
    const int utilLog = cabeceraLog ? static_cast<int>(tamanoLog) - reserva : util;
    for (qsizetype desde = 32; desde + marco <= wal.size(); desde += marco)
        if (grande(log + desde, 4) != 1) explorar_pagina(log + desde + 24, utilLog, h);
    return h;
}

bool por_secuencia(const auto& a, const auto& b) {
    return a.secuencia < b.secuencia;
}

} // namespace

ColaRecuperada explorar_paginas(const QByteArray& archivo, const QByteArray& wal) {
    // The header: "SQLite format 3\0", the page size at byte 16 (1 stands for
    // 65536), the bytes each page reserves at its end at byte 20.
    const auto* d = reinterpret_cast<Bytes>(archivo.constData());
    quint32 tamano = archivo.size() >= 100 ? grande(d + 16, 2) : 0;
    if (tamano == 1) tamano = 65536;
    const bool cabecera = archivo.size() >= 100 &&
                          archivo.startsWith(QByteArray("SQLite format 3", 16)) &&
                          tamano_valido(tamano) && d[20] < 64;
    // Each page size, the header's first, then 4096 (SQLite's default): the one
    // that finds the most rows, the first of a tie. A wrong size still finds the
    // cells near the start of some pages.
    Hallazgos mejor;
    if (cabecera) mejor = explorar_con(archivo, wal, static_cast<int>(tamano), d[20]);
    for (const int t : {4096, 512, 1024, 2048, 8192, 16384, 32768, 65536}) {
        Hallazgos h = explorar_con(archivo, wal, t, 0);
        if (h.filas() > mejor.filas()) mejor = std::move(h);
    }
    std::sort(mejor.cola.eventos.begin(), mejor.cola.eventos.end(),
              [](const auto& a, const auto& b) { return por_secuencia(a, b); });
    std::sort(mejor.cola.alarmas.begin(), mejor.cola.alarmas.end(),
              [](const auto& a, const auto& b) { return por_secuencia(a, b); });
    return std::move(mejor.cola);
}

void ColaRecuperada::unir(const ColaRecuperada& otra) {
    const auto juntar = [](auto& propias, const auto& ajenas) {
        std::set<qint64> vistas;
        for (const auto& x : propias) vistas.insert(x.secuencia);
        for (const auto& x : ajenas)
            if (vistas.insert(x.secuencia).second) propias.push_back(x);
        std::stable_sort(propias.begin(), propias.end(),
                         [](const auto& a, const auto& b) { return por_secuencia(a, b); });
    };
    juntar(eventos, otra.eventos);
    juntar(alarmas, otra.alarmas);
    if (identidad.isEmpty()) identidad = otra.identidad;
    desbordadas += otra.desbordadas;
}

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

// A file cut short: not a whole number of pages, or, when no write-ahead log
// stands beside it, fewer pages than its header counts (the count is valid while
// the change counter at byte 24 equals the one at byte 92). SQLite reads the
// missing bytes of a page as zeros and its own checks may not notice.
// `cabecera`: the file's first 100 bytes; `largo`: its size.
bool cortada(const QByteArray& cabecera, qint64 largo, bool conLog) {
    if (cabecera.size() < 100 || !cabecera.startsWith(QByteArray("SQLite format 3", 16)))
        return false;
    const auto* d = reinterpret_cast<Bytes>(cabecera.constData());
    qint64 tamano = grande(d + 16, 2);
    if (tamano == 1) tamano = 65536;
    if (!tamano_valido(static_cast<quint32>(tamano))) return false;
    if (largo % tamano != 0) return true;
    const bool cuenta = grande(d + 24, 4) == grande(d + 92, 4);
    return !conLog && cuenta && largo < tamano * grande(d + 28, 4);
}

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
    c.recorrer(QStringLiteral("SELECT count(*) FROM pragma_table_info('pendientes') WHERE name='identidad'"),
               [&](sqlite3_stmt* st) { conClave = sqlite3_column_int(st, 0) > 0; });
    const QString eventos = QStringLiteral("SELECT secuencia,") + esquema::lista_columnas() +
                            (conClave ? QStringLiteral(",identidad") : QString()) +
                            QStringLiteral(" FROM pendientes ORDER BY secuencia");
    c.recorrer(eventos, [&](sqlite3_stmt* st) {
        EventoRecuperado e;
        if (conClave)
            e.identidad = sqlite3_column_type(st, static_cast<int>(esquema::kColumnas.size()) + 1) == SQLITE_NULL
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
    const QString alarmas = QStringLiteral("SELECT secuencia,reconocimiento,") +
                            esquema::lista_columnas_alarma() +
                            QStringLiteral(" FROM alarmas ORDER BY secuencia");
    c.recorrer(alarmas, [&](sqlite3_stmt* st) {
        AlarmaPendiente a;
        a.secuencia = sqlite3_column_int64(st, 0);
        a.reconocimiento = sqlite3_column_int(st, 1) != 0;
        int i = 2;
        for (const esquema::ColumnaAlarma& col : esquema::kColumnasAlarma)
            a.fila.*col.texto = texto_columna(st, i++);
        cola.alarmas.push_back(std::move(a));
    });
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
                     esquema::lista_columnas_alarma() + QStringLiteral(") VALUES (?,?");
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
                sqlite3_bind_text(st, static_cast<int>(esquema::kColumnas.size()) + 2, clave.constData(),
                                  static_cast<int>(clave.size()), SQLITE_TRANSIENT);
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
    const bool corta = cortada(archivo.read(100), archivo.size(), wal.exists());
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
