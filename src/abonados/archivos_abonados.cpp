#include "abonados/archivos_abonados.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <functional>
#include <string>
#include <unordered_map>

#include "abonados/abonados.h"
#include "abonados/csv_abonados.h"
#include "abonados/esquema_abonados.h"
#include "abonados/registro_abonados.h"
#include "common/reglas.h"
#include "decoding/codigos_evento.h"
#include "store/motor.h"

namespace corvane {

using namespace esquema_abonados;

namespace {

// Values handed to the engine at a time: a few megabytes.
constexpr size_t kValoresPorCarga = 60000;
// Keys in one DELETE ... IN (...).
constexpr int kClavesPorBorrado = 500;
// Accounts an import announces one by one; past them, the register as a whole.
constexpr int kAvisosPorCuenta = 100;
// The widest partition and zone the tables keep, as the event table does.
constexpr size_t kLargoZona = 8;

using Valores = std::vector<std::string_view>;

QString q(std::string_view v) {
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

// Every account the rule allows has a small number of its own: its characters
// read as hexadecimal digits, after the accounts of fewer characters. -1 for a
// text that breaks the rule.
static_assert(kLargoCuenta == 4);
constexpr int kCuentas = 16 + 256 + 4096 + 65536;
int indice_cuenta(std::string_view c) {
    if (c.empty() || c.size() > static_cast<size_t>(kLargoCuenta)) return -1;
    static constexpr int kAntes[] = {0, 0, 16, 16 + 256, 16 + 256 + 4096};
    int v = 0;
    for (const char ch : c) {
        if (!es_caracter_de_cuenta(static_cast<char16_t>(static_cast<unsigned char>(ch))))
            return -1;
        v = v * 16 + (ch <= '9' ? ch - '0' : ch - 'a' + 10);
    }
    return kAntes[c.size()] + v;
}

// The account of number `i` (indice_cuenta).
QString texto_cuenta(int i) {
    static constexpr int kAntes[] = {0, 0, 16, 16 + 256, 16 + 256 + 4096, kCuentas};
    int largo = 1;
    while (i >= kAntes[largo + 1]) ++largo;
    int v = i - kAntes[largo];
    QString t(largo, u'0');
    for (int k = largo - 1; k >= 0; --k, v /= 16)
        t[k] = QChar(v % 16 < 10 ? u'0' + v % 16 : u'a' + v % 16 - 10);
    return t;
}

// One file: its columns in the order its checks read them, the last
// `opcionales` of them optional (empty when the header lacks them).
struct Archivo {
    QString nombre;
    std::vector<std::string_view> columnas;
    size_t opcionales = 0;
};

const Archivo kAbonadosCsv{kArchivoAbonados,
                           {"cuenta", "nombre", "direccion", "localidad", "telefono", "estado",
                            "en_pruebas_hasta", "prueba_cada_min", "notas"},
                           0};
const Archivo kZonasCsv{kArchivoZonas, {"cuenta", "particion", "zona", "descripcion"}, 0};
const Archivo kContactosCsv{
    kArchivoContactos,
    {"cuenta", "orden", "nombre", "telefono", "relacion", "palabra_clave", "palabra_clave_hash"},
    1};
const Archivo kInstruccionesCsv{kArchivoInstrucciones, {"cuenta", "clase", "texto"}, 0};

QString columnas_de(const Archivo& a) {
    QStringList r;
    for (const std::string_view c : a.columnas) r << q(c);
    return r.join(QLatin1Char(','));
}

// What pass one learns and pass two uses.
struct Contexto {
    std::vector<char> registrada = std::vector<char>(kCuentas, 0); // held before the import
    std::vector<qint64> lineaAbonado =
        std::vector<qint64>(kCuentas, 0); // its line in abonados.csv; 0: none
    // Of each account, the files that name it: kEnZonas, kEnContactos, kEnInstrucciones.
    std::vector<char> nombrada = std::vector<char>(kCuentas, 0);
    bool generales = false;                         // instrucciones.csv has "*" lines
    std::unordered_map<std::string, qint64> claves; // a file's keys and their lines
    std::unordered_map<quint64, qint64> ordenes;    // contactos.csv's keys and their lines
    std::vector<std::string> clases;
    std::string momento, puesto;
    std::string temporal; // a value made for pass two, valid until the next
};
constexpr char kEnZonas = 1, kEnContactos = 2, kEnInstrucciones = 4;

// A moment "AAAA-MM-DD HH:mm" as stored ("yyyy-MM-dd HH:mm:ss"), or empty.
std::string momento_de(std::string_view v) {
    if (v.size() != 16) return {};
    const QString t = q(v);
    const QDateTime m = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!m.isValid() || m.toString(QStringLiteral("yyyy-MM-dd HH:mm")) != t) return {};
    return std::string(v) + ":00";
}

QString cuenta_registrada(const Contexto& c, std::string_view cuenta, int& i) {
    i = indice_cuenta(cuenta);
    if (i < 0) return QStringLiteral("la cuenta %1 no es válida").arg(q(cuenta));
    if (c.lineaAbonado[static_cast<size_t>(i)] == 0 && !c.registrada[static_cast<size_t>(i)])
        return QStringLiteral("la cuenta %1 no está en abonados.csv ni en el registro")
            .arg(q(cuenta));
    return {};
}

// A key seen before in the file: the line that had it, and `que()` names it.
template <class Mapa, class Clave, class Que>
QString repetida(Mapa& vistas, Clave&& clave, qint64 linea, const Que& que) {
    const auto [i, nueva] = vistas.emplace(std::forward<Clave>(clave), linea);
    if (nueva) return {};
    return QStringLiteral("%1 ya está en la línea %2").arg(que()).arg(i->second);
}

bool es_numero(std::string_view v, size_t maximo) {
    if (v.empty() || v.size() > maximo) return false;
    for (const char ch : v)
        if (ch < '0' || ch > '9') return false;
    return true;
}

// Each check reads the file's values `v` (in its Archivo's order) and says why
// they are refused, or nothing. Pass one (`fila` null) also looks for repeated
// keys and gathers the accounts; pass two appends the table's row to `fila`.
QString fila_abonado(Contexto& c, Valores& v, qint64 linea, ValoresTexto* fila) {
    const int i = indice_cuenta(v[0]);
    if (i < 0) return QStringLiteral("la cuenta %1 no es válida").arg(q(v[0]));
    std::string_view estadoTexto = v[5].empty() ? std::string_view("activo") : v[5];
    const std::optional<EstadoAbonado> estado = estado_de_texto(q(estadoTexto));
    if (!estado)
        return QStringLiteral("el estado %1 no es válido: se espera activo, en_pruebas o baja")
            .arg(q(estadoTexto));
    if (*estado == EstadoAbonado::EnPruebas && v[6].empty())
        return QStringLiteral("el estado en_pruebas necesita en_pruebas_hasta");
    if (*estado != EstadoAbonado::EnPruebas && !v[6].empty())
        return QStringLiteral("en_pruebas_hasta solo vale con el estado en_pruebas");
    std::string hasta;
    if (!v[6].empty()) {
        hasta = momento_de(v[6]);
        if (hasta.empty())
            return QStringLiteral("el momento %1 no es válido: se espera AAAA-MM-DD HH:mm")
                .arg(q(v[6]));
    }
    if (!v[7].empty() && !es_numero(v[7], 9))
        return QStringLiteral("prueba_cada_min %1 no es válido: se esperan minutos, 0 o más")
            .arg(q(v[7]));
    if (fila == nullptr) {
        qint64& vista = c.lineaAbonado[static_cast<size_t>(i)];
        if (vista != 0)
            return QStringLiteral("la cuenta %1 ya está en la línea %2").arg(q(v[0])).arg(vista);
        vista = linea;
        return {};
    }
    for (size_t k = 0; k < 5; ++k) fila->agregar(v[k]);
    fila->agregar(estadoTexto);
    fila->agregar(hasta);
    const std::string_view cada = v[7].empty() ? std::string_view("0") : v[7];
    const size_t ceros = std::min(cada.find_first_not_of('0'), cada.size() - 1);
    fila->agregar(cada.substr(ceros));
    fila->agregar(v[8]);
    fila->agregar(c.momento);
    fila->agregar(c.puesto);
    return {};
}

QString fila_zona(Contexto& c, Valores& v, qint64 linea, ValoresTexto* fila) {
    int i = -1;
    if (QString r = cuenta_registrada(c, v[0], i); !r.isEmpty()) return r;
    if (v[2].empty()) return QStringLiteral("falta la zona");
    if (v[1].size() > kLargoZona || v[2].size() > kLargoZona)
        return QStringLiteral("la partición y la zona tienen hasta %1 bytes").arg(kLargoZona);
    if (fila == nullptr) {
        std::string clave(v[0]);
        clave += '\x1f';
        clave += v[1];
        clave += '\x1f';
        clave += v[2];
        const auto que = [&v] {
            return v[1].empty() ? QStringLiteral("la zona %1 de la cuenta %2").arg(q(v[2]), q(v[0]))
                                : QStringLiteral("la zona %1 de la partición %2 de la cuenta %3")
                                      .arg(q(v[2]), q(v[1]), q(v[0]));
        };
        if (QString r = repetida(c.claves, std::move(clave), linea, que); !r.isEmpty()) return r;
        c.nombrada[static_cast<size_t>(i)] |= kEnZonas;
        return {};
    }
    for (const std::string_view x : v) fila->agregar(x);
    return {};
}

QString fila_contacto(Contexto& c, Valores& v, qint64 linea, ValoresTexto* fila) {
    int i = -1;
    if (QString r = cuenta_registrada(c, v[0], i); !r.isEmpty()) return r;
    if (!es_numero(v[1], 6) || v[1][0] == '0')
        return QStringLiteral("el orden %1 no es válido: se espera un número de 1 en adelante")
            .arg(q(v[1]));
    // The password and the hash are never named: the line is.
    if (v[5].empty() && !v[6].empty() &&
        !parece_hash_clave(QString::fromLatin1(v[6].data(), static_cast<qsizetype>(v[6].size()))))
        return QStringLiteral(
            "palabra_clave_hash no tiene la forma de un hash Argon2id de libsodium");
    if (fila == nullptr) {
        const quint64 clave =
            (static_cast<quint64>(i) << 32) | static_cast<quint64>(std::stoul(std::string(v[1])));
        if (QString r = repetida(
                c.ordenes, clave, linea,
                [&v] {
                    return QStringLiteral("el contacto %1 de la cuenta %2").arg(q(v[1]), q(v[0]));
                });
            !r.isEmpty())
            return r;
        c.nombrada[static_cast<size_t>(i)] |= kEnContactos;
        return {};
    }
    for (size_t k = 0; k < 5; ++k) fila->agregar(v[k]);
    if (v[5].empty()) {
        fila->agregar(v[6]);
        return {};
    }
    // A password in clear wins over a hash.
    const QString hash = hash_palabra_clave(q(v[5]));
    if (hash.isEmpty()) return QStringLiteral("no se pudo calcular el hash de la palabra clave");
    c.temporal = hash.toStdString();
    fila->agregar(c.temporal);
    return {};
}

QString fila_instruccion(Contexto& c, Valores& v, qint64 linea, ValoresTexto* fila) {
    const bool general = v[0] == "*";
    int i = -1;
    if (!general)
        if (QString r = cuenta_registrada(c, v[0], i); !r.isEmpty()) return r;
    if (std::find(c.clases.begin(), c.clases.end(), v[1]) == c.clases.end()) {
        QStringList clases;
        for (const std::string& k : c.clases) clases << QString::fromStdString(k);
        return QStringLiteral("la clase %1 no existe: se espera %2")
            .arg(q(v[1]), clases.join(QStringLiteral(", ")));
    }
    if (fila == nullptr) {
        std::string clave(v[0]);
        clave += '\x1f';
        clave += v[1];
        if (QString r = repetida(c.claves, std::move(clave), linea,
                                 [&v] {
                                     return QStringLiteral("la instrucción de %1 de la cuenta %2")
                                         .arg(q(v[1]), q(v[0]));
                                 });
            !r.isEmpty())
            return r;
        if (general)
            c.generales = true;
        else
            c.nombrada[static_cast<size_t>(i)] |= kEnInstrucciones;
        return {};
    }
    for (const std::string_view x : v) fila->agregar(x);
    return {};
}

using Comprobacion = QString (*)(Contexto&, Valores&, qint64, ValoresTexto*);

// The line of byte `posicion` of `texto`.
qint64 linea_de(std::string_view texto, size_t posicion) {
    return 1 +
           std::count(texto.begin(), texto.begin() + static_cast<std::ptrdiff_t>(posicion), '\n');
}

// Reads the file `a` of `carpeta`, when it is there, and hands each record's
// values, in `a`'s column order, to `fila` with its line. `rechazo` empty when
// all went well.
void recorrer_archivo(const QString& carpeta, const Archivo& a, QString& rechazo,
                      const std::function<QString(Valores&, qint64)>& fila) {
    const QString ruta = QDir(carpeta).filePath(a.nombre);
    if (!QFileInfo::exists(ruta)) return;
    const auto rechazar = [&](qint64 linea, const QString& motivo) {
        rechazo = QStringLiteral("%1, línea %2: %3").arg(a.nombre).arg(linea).arg(motivo);
    };
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly)) {
        rechazo = QStringLiteral("%1: no se puede leer (%2)").arg(a.nombre, archivo.errorString());
        return;
    }
    const QByteArray bytes = archivo.readAll();
    const std::string_view texto(bytes.constData(), static_cast<size_t>(bytes.size()));
    size_t malo = 0;
    if (!utf8_valido(texto, malo))
        return rechazar(linea_de(texto, malo), QStringLiteral("el texto no es UTF-8"));
    LectorCsv lector(texto);
    Valores valores;
    qint64 linea = 1;
    QString error;
    if (!lector.siguiente(valores, linea, error))
        return rechazar(linea,
                        error.isEmpty() ? QStringLiteral("falta la fila de cabecera") : error);
    // Where each of the file's columns is in the records; -1: an optional one absent.
    std::vector<int> posicion(a.columnas.size(), -1);
    for (size_t i = 0; i < valores.size(); ++i) {
        const auto k = std::find(a.columnas.begin(), a.columnas.end(), valores[i]);
        if (k == a.columnas.end())
            return rechazar(linea, QStringLiteral("la columna %1 no es de %2 (se esperan %3)")
                                       .arg(q(valores[i]), a.nombre, columnas_de(a)));
        int& p = posicion[static_cast<size_t>(k - a.columnas.begin())];
        if (p >= 0)
            return rechazar(linea,
                            QStringLiteral("la columna %1 está repetida").arg(q(valores[i])));
        p = static_cast<int>(i);
    }
    for (size_t k = 0; k + a.opcionales < a.columnas.size(); ++k)
        if (posicion[k] < 0)
            return rechazar(linea, QStringLiteral("falta la columna %1").arg(q(a.columnas[k])));
    const size_t columnas = valores.size();
    Valores ordenados(a.columnas.size());
    while (lector.siguiente(valores, linea, error)) {
        if (valores.size() != columnas)
            return rechazar(linea, QStringLiteral("se esperan %1 columnas y hay %2")
                                       .arg(columnas)
                                       .arg(valores.size()));
        for (size_t k = 0; k < posicion.size(); ++k) {
            ordenados[k] =
                posicion[k] < 0 ? std::string_view() : valores[static_cast<size_t>(posicion[k])];
            if (ordenados[k].find('\0') != std::string_view::npos)
                return rechazar(linea, QStringLiteral("un valor contiene el carácter nulo"));
        }
        if (QString motivo = fila(ordenados, linea); !motivo.isEmpty())
            return rechazar(linea, motivo);
    }
    if (!error.isEmpty()) rechazar(linea, error);
}

// Where every file's rows go.
struct Destino {
    const Archivo* archivo;
    Comprobacion comprobar;
    const QString* tabla;
    QStringList columnas;
    QString columnaCuenta;
    char marca; // of Contexto::nombrada; 0: abonados.csv
    qint64 ResumenImportacion::*cuenta;
};

// The sets of `d.tabla` of the accounts the file names and the register held,
// in pieces for DELETE ... IN.
Fallo borrar(BaseDatos& base, const Destino& d, const Contexto& c) {
    QVariantList claves;
    const auto ejecutar = [&]() -> Fallo {
        if (claves.isEmpty()) return {};
        QString marcas = QStringLiteral("?");
        for (qsizetype i = 1; i < claves.size(); ++i) marcas += QStringLiteral(",?");
        Fallo f = base.ejecutar(QStringLiteral("DELETE FROM %1 WHERE %2 IN (%3)")
                                    .arg(*d.tabla, d.columnaCuenta, marcas),
                                claves);
        claves.clear();
        return f;
    };
    if (d.marca == kEnInstrucciones && c.generales) claves << kTodasLasCuentas;
    for (size_t i = 0; i < static_cast<size_t>(kCuentas); ++i) {
        if (!c.registrada[i] ||
            (d.marca == 0 ? c.lineaAbonado[i] == 0 : (c.nombrada[i] & d.marca) == 0))
            continue;
        claves << texto_cuenta(static_cast<int>(i));
        if (claves.size() == kClavesPorBorrado)
            if (Fallo f = ejecutar()) return f;
    }
    return ejecutar();
}

} // namespace

Fallo importar_abonados(BaseDatos& base, const QString& carpeta, const QString& momento,
                        const QString& puesto, QString& rechazo, ResumenImportacion& resumen) {
    rechazo.clear();
    resumen = {};
    if (!QFileInfo(carpeta).isDir()) {
        rechazo = QStringLiteral("la carpeta «%1» no existe").arg(carpeta);
        return {};
    }
    const std::vector<Destino> destinos = {
        {&kAbonadosCsv, fila_abonado, &kAbonados, nombres(kColumnasAbonados),
         QStringLiteral("abon_cuenta"), 0, &ResumenImportacion::abonados},
        {&kZonasCsv, fila_zona, &kZonas, nombres(kColumnasZonas), QStringLiteral("zona_cuenta"),
         kEnZonas, &ResumenImportacion::zonas},
        {&kContactosCsv, fila_contacto, &kContactos, nombres(kColumnasContactos),
         QStringLiteral("cont_cuenta"), kEnContactos, &ResumenImportacion::contactos},
        {&kInstruccionesCsv, fila_instruccion, &kInstrucciones, nombres(kColumnasInstrucciones),
         QStringLiteral("inst_cuenta"), kEnInstrucciones, &ResumenImportacion::instrucciones},
    };
    bool alguno = false;
    for (const Destino& d : destinos)
        alguno = alguno || QFileInfo::exists(QDir(carpeta).filePath(d.archivo->nombre));
    if (!alguno) {
        rechazo = QStringLiteral("la carpeta «%1» no tiene abonados.csv, zonas.csv, contactos.csv "
                                 "ni instrucciones.csv")
                      .arg(carpeta);
        return {};
    }
    if (Fallo f = crear_tablas_abonados(base)) return f;
    Contexto c;
    c.momento = momento.toStdString();
    c.puesto = puesto.toStdString();
    for (int k = 0; k <= static_cast<int>(ClaseEvento::Otro); ++k)
        c.clases.push_back(nombre_clase(static_cast<ClaseEvento>(k)).toStdString());
    if (Fallo f = base.recorrer(QStringLiteral("SELECT abon_cuenta FROM ") + kAbonados,
                                [&c](const ValoresFila& v) {
                                    const int i = indice_cuenta(v[0]);
                                    if (i >= 0) c.registrada[static_cast<size_t>(i)] = 1;
                                    return Fallo{};
                                }))
        return f;

    // First pass: every file checked whole before anything is written.
    for (const Destino& d : destinos) {
        c.claves.clear();
        c.ordenes.clear();
        recorrer_archivo(carpeta, *d.archivo, rechazo, [&](Valores& v, qint64 linea) {
            return d.comprobar(c, v, linea, nullptr);
        });
        if (!rechazo.isEmpty()) return {};
    }
    c.claves = {};
    c.ordenes = {};

    // Second pass, in one transaction: the sets replaced, then the rows loaded.
    if (Fallo f = base.comenzarLote()) return f;
    const auto deshacer = [&base](Fallo f) {
        base.deshacerLote();
        return f;
    };
    ValoresTexto filas;
    for (const Destino& d : destinos) {
        if (Fallo f = borrar(base, d, c)) return deshacer(f);
        filas.vaciar();
        Fallo fallo;
        recorrer_archivo(carpeta, *d.archivo, rechazo, [&](Valores& v, qint64 linea) -> QString {
            if (QString motivo = d.comprobar(c, v, linea, &filas); !motivo.isEmpty()) return motivo;
            ++(resumen.*d.cuenta);
            if (filas.cantidad() >= kValoresPorCarga) {
                fallo = base.cargarFilas(*d.tabla, d.columnas, filas);
                filas.vaciar();
                if (fallo) return QStringLiteral("no se pudo guardar");
            }
            return {};
        });
        if (fallo) {
            rechazo.clear();
            return deshacer(fallo);
        }
        if (!rechazo.isEmpty()) {
            base.deshacerLote();
            return {};
        }
        if (Fallo f = base.cargarFilas(*d.tabla, d.columnas, filas)) return deshacer(f);
    }
    // The accounts changed: announced one by one when few.
    QStringList cambiadas;
    if (c.generales) cambiadas << kTodasLasCuentas;
    for (int i = 0; i < kCuentas && cambiadas.size() <= kAvisosPorCuenta; ++i)
        if (c.lineaAbonado[static_cast<size_t>(i)] != 0 || c.nombrada[static_cast<size_t>(i)] != 0)
            cambiadas << texto_cuenta(i);
    if (cambiadas.size() > kAvisosPorCuenta) {
        if (Fallo f = avisar_cambio_abonado(base, QString())) return deshacer(f);
    } else {
        for (const QString& cuenta : std::as_const(cambiadas))
            if (Fallo f = avisar_cambio_abonado(base, cuenta)) return deshacer(f);
    }
    return base.confirmarLote();
}

namespace {

// One file of the export: `sentencia`'s rows, each value turned by `valor`.
Fallo exportar_archivo(BaseDatos& base, bool tablas, const QString& ruta, const Archivo& a,
                       const QString& sentencia,
                       const std::function<void(QByteArray&, const ValoresFila&)>& fila,
                       QString& rechazo, qint64& filas) {
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        rechazo = QStringLiteral("no se puede escribir «%1»: %2").arg(ruta, archivo.errorString());
        return {};
    }
    QByteArray bloque = columnas_de(a).toUtf8() + "\r\n";
    Fallo escrito;
    const auto vaciar = [&] {
        if (archivo.write(bloque) != bloque.size()) escrito = {1, archivo.errorString()};
        bloque.clear();
    };
    if (tablas)
        if (Fallo f = base.recorrer(sentencia,
                                    [&](const ValoresFila& v) -> Fallo {
                                        fila(bloque, v);
                                        bloque += "\r\n";
                                        ++filas;
                                        if (bloque.size() > (1 << 20)) vaciar();
                                        return escrito ? Fallo{1, {}} : Fallo{};
                                    });
            f && !escrito)
            return f;
    vaciar();
    if (escrito || !archivo.commit()) {
        rechazo = QStringLiteral("no se puede escribir «%1»: %2")
                      .arg(ruta, escrito ? escrito.detalle : archivo.errorString());
        return {};
    }
    return {};
}

void valores(QByteArray& bloque, const ValoresFila& v) {
    for (size_t i = 0; i < v.size(); ++i) agregar_valor_csv(bloque, v[i], i == 0);
}

} // namespace

Fallo exportar_abonados(BaseDatos& base, const QString& carpeta, QString& rechazo,
                        ResumenImportacion& resumen) {
    rechazo.clear();
    resumen = {};
    if (!QDir().mkpath(carpeta)) {
        rechazo = QStringLiteral("no se puede crear la carpeta «%1»").arg(carpeta);
        return {};
    }
    bool tablas = false;
    if (Fallo f = tablas_abonados_presentes(base, tablas)) return f;
    const QDir dir(carpeta);
    const auto ordenado = [&base](const QStringList& columnas) -> QString {
        if (base.dialecto() == Dialecto::SQLite) return columnas.join(QLatin1Char(','));
        QStringList r;
        for (const QString& c : columnas)
            r << (c.endsWith(QLatin1String("_orden")) ? c : c + QStringLiteral(" COLLATE \"C\""));
        return r.join(QLatin1Char(','));
    };
    const auto seleccion = [&](const QString& tabla, const auto& columnas,
                               const QString& clave) -> QString {
        return QStringLiteral("SELECT ") + lista(columnas) + QStringLiteral(" FROM ") + tabla +
               QStringLiteral(" ORDER BY ") + ordenado(clave.split(QLatin1Char(',')));
    };
    // abonados.csv: the moment without its seconds; the stamp is not exported.
    if (Fallo f = exportar_archivo(
            base, tablas, dir.filePath(kArchivoAbonados), kAbonadosCsv,
            seleccion(kAbonados, kColumnasAbonados, kClaveAbonados),
            [](QByteArray& b, const ValoresFila& v) {
                for (size_t i = 0; i < 9; ++i)
                    agregar_valor_csv(b, i == 6 ? v[i].substr(0, 16) : v[i], i == 0);
            },
            rechazo, resumen.abonados);
        f || !rechazo.isEmpty())
        return f;
    if (Fallo f = exportar_archivo(base, tablas, dir.filePath(kArchivoZonas), kZonasCsv,
                                   seleccion(kZonas, kColumnasZonas, kClaveZonas), valores, rechazo,
                                   resumen.zonas);
        f || !rechazo.isEmpty())
        return f;
    // contactos.csv: the password empty, its hash after it.
    if (Fallo f = exportar_archivo(
            base, tablas, dir.filePath(kArchivoContactos), kContactosCsv,
            seleccion(kContactos, kColumnasContactos, kClaveContactos),
            [](QByteArray& b, const ValoresFila& v) {
                for (size_t i = 0; i < 5; ++i) agregar_valor_csv(b, v[i], i == 0);
                agregar_valor_csv(b, std::string_view(), false);
                agregar_valor_csv(b, v[5], false);
            },
            rechazo, resumen.contactos);
        f || !rechazo.isEmpty())
        return f;
    return exportar_archivo(base, tablas, dir.filePath(kArchivoInstrucciones), kInstruccionesCsv,
                            seleccion(kInstrucciones, kColumnasInstrucciones, kClaveInstrucciones),
                            valores, rechazo, resumen.instrucciones);
}

Fallo ficha_abonado(BaseDatos& base, const QString& cuenta, bool& registrado, QString& ficha) {
    registrado = false;
    ficha.clear();
    bool tablas = false;
    if (Fallo f = tablas_abonados_presentes(base, tablas)) return f;
    if (!tablas) return {};
    std::optional<Abonado> a;
    if (Fallo f = leer_abonado(base, cuenta, a)) return f;
    if (!a) return {};
    std::vector<InstruccionAbonado> generales;
    if (Fallo f = leer_instrucciones_generales(base, generales)) return f;
    registrado = true;
    const auto linea = [&ficha](const QString& etiqueta, const QString& valor) {
        ficha += etiqueta + QStringLiteral(": ") + valor + QLatin1Char('\n');
    };
    const auto o_nada = [](const QString& v) { return v.isEmpty() ? QStringLiteral("-") : v; };
    linea(QStringLiteral("Abonado"), a->cuenta);
    linea(QStringLiteral("Nombre"), o_nada(a->nombre));
    linea(QStringLiteral("Dirección"), o_nada(a->direccion));
    linea(QStringLiteral("Localidad"), o_nada(a->localidad));
    linea(QStringLiteral("Teléfono"), o_nada(a->telefono));
    linea(QStringLiteral("Estado"),
          a->estado == EstadoAbonado::EnPruebas
              ? QStringLiteral("en pruebas hasta %1").arg(a->enPruebasHasta.left(16))
          : a->estado == EstadoAbonado::Baja ? QStringLiteral("baja")
                                             : QStringLiteral("activo"));
    linea(QStringLiteral("Prueba periódica"),
          a->pruebaCadaMin > 0 ? QStringLiteral("cada %1 min").arg(a->pruebaCadaMin)
                               : QStringLiteral("ninguna"));
    linea(QStringLiteral("Notas"),
          o_nada(QString(a->notas).replace(QLatin1Char('\n'), QStringLiteral("\n       "))));
    linea(QStringLiteral("Modificado"),
          a->modificado.isEmpty()
              ? QStringLiteral("-")
              : QStringLiteral("%1 en %2").arg(a->modificado, o_nada(a->modificadoPor)));
    ficha += QStringLiteral("\nZonas:\n");
    if (a->zonas.empty()) ficha += QStringLiteral("  (ninguna)\n");
    for (const ZonaAbonado& z : a->zonas)
        ficha += QStringLiteral("  Partición %1, zona %2: %3\n")
                     .arg(z.particion.isEmpty() ? QStringLiteral("cualquiera") : z.particion,
                          z.zona, z.descripcion);
    ficha += QStringLiteral("\nContactos (por orden de llamada):\n");
    if (a->contactos.empty()) ficha += QStringLiteral("  (ninguno)\n");
    for (const ContactoAbonado& k : a->contactos)
        ficha += QStringLiteral("  %1. %2, %3, %4; palabra clave: %5\n")
                     .arg(QString::number(k.orden), o_nada(k.nombre), o_nada(k.telefono),
                          o_nada(k.relacion),
                          k.hashClave.isEmpty() ? QStringLiteral("no") : QStringLiteral("sí"));
    ficha += QStringLiteral("\nInstrucciones:\n");
    QStringList propias;
    for (const InstruccionAbonado& i : a->instrucciones) {
        propias << i.clase;
        ficha += QStringLiteral("  %1: %2\n").arg(i.clase, i.texto);
    }
    for (const InstruccionAbonado& i : generales)
        if (!propias.contains(i.clase))
            ficha += QStringLiteral("  %1 (general): %2\n").arg(i.clase, i.texto);
    if (a->instrucciones.empty() && generales.empty()) ficha += QStringLiteral("  (ninguna)\n");
    return {};
}

} // namespace corvane
