#include "cola/paginas_cola.h"

#include <QUuid>

#include <algorithm>
#include <set>

#include "store/esquema.h"

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
// esquema::kColumnasAlarma, texts (NULL taken as the empty text), and the
// handling step (a text or NULL) where the queue's version has it.
bool tomar_alarma(qint64 rowid, const std::vector<Valor>& v, AlarmaPendiente& a) {
    const std::size_t n = 2 + esquema::kColumnasAlarma.size();
    if ((v.size() != n && v.size() != n + 1) || !es_nulo(v[0]) || !es_entero(v[1]) || rowid <= 0)
        return false;
    if (v.size() == n + 1) {
        if (!es_texto(v[n]) && !es_nulo(v[n])) return false;
        a.ciclo = texto(v[n]);
    }
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

// A file cut short: not a whole number of pages, or, when no write-ahead log
// stands beside it, fewer pages than its header counts (the count is valid while
// the change counter at byte 24 equals the one at byte 92). SQLite reads the
// missing bytes of a page as zeros and its own checks may not notice.
// `cabecera`: the file's first 100 bytes; `largo`: its size.
bool cola_cortada(const QByteArray& cabecera, qint64 largo, bool conLog) {
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

} // namespace corvane
