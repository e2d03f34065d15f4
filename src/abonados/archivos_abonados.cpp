#include "abonados/archivos_abonados.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <functional>
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

// Rows handed to the engine at a time: a few megabytes.
constexpr size_t kFilasPorCarga = 10000;
// Keys in one DELETE ... IN (...).
constexpr int kClavesPorBorrado = 500;
// Accounts an import announces one by one; past them, the register as a whole.
constexpr int kAvisosPorCuenta = 100;

// One file: its columns in the order the rows are handed on, the last
// `opcionales` of them optional (empty when the header lacks them).
struct Archivo {
    QString nombre;
    QStringList columnas;
    int opcionales = 0;
};

const Archivo kAbonadosCsv{kArchivoAbonados,
                           {QStringLiteral("cuenta"), QStringLiteral("nombre"), QStringLiteral("direccion"),
                            QStringLiteral("localidad"), QStringLiteral("telefono"), QStringLiteral("estado"),
                            QStringLiteral("en_pruebas_hasta"), QStringLiteral("prueba_cada_min"),
                            QStringLiteral("notas")},
                           0};
const Archivo kZonasCsv{kArchivoZonas,
                        {QStringLiteral("cuenta"), QStringLiteral("particion"), QStringLiteral("zona"),
                         QStringLiteral("descripcion")},
                        0};
const Archivo kContactosCsv{kArchivoContactos,
                            {QStringLiteral("cuenta"), QStringLiteral("orden"), QStringLiteral("nombre"),
                             QStringLiteral("telefono"), QStringLiteral("relacion"), QStringLiteral("palabra_clave"),
                             QStringLiteral("palabra_clave_hash")},
                            1};
const Archivo kInstruccionesCsv{kArchivoInstrucciones,
                                {QStringLiteral("cuenta"), QStringLiteral("clase"), QStringLiteral("texto")}, 0};

// The widest partition and zone the tables keep, as the event table does.
constexpr int kLargoZona = 8;

QStringList nombres_clase() {
    QStringList r;
    for (int c = 0; c <= static_cast<int>(ClaseEvento::Otro); ++c) r << nombre_clase(static_cast<ClaseEvento>(c));
    return r;
}

// What pass one learns and pass two uses.
struct Contexto {
    QSet<QString> registradas; // accounts the register held before the import
    QSet<QString> enArchivo;   // accounts of abonados.csv
    QSet<QString> cuentasZonas, cuentasContactos, cuentasInstrucciones;
    std::unordered_map<QString, qint64> vistas; // a file's keys and their lines
    QStringList clases = nombres_clase();
    QString momento, puesto;
};

// "AAAA-MM-DD HH:mm" as stored ("yyyy-MM-dd HH:mm:ss"), or empty when not a moment.
QString momento_de(const QString& v) {
    if (v.size() != 16) return {};
    const QDateTime m = QDateTime::fromString(v, QStringLiteral("yyyy-MM-dd HH:mm"));
    return m.isValid() ? v + QStringLiteral(":00") : QString();
}

QString cuenta_de_archivo(const Contexto& c, const QString& cuenta) {
    if (!cuenta_valida(cuenta)) return QStringLiteral("la cuenta %1 no es válida").arg(cuenta);
    if (!c.enArchivo.contains(cuenta) && !c.registradas.contains(cuenta))
        return QStringLiteral("la cuenta %1 no está en abonados.csv ni en el registro").arg(cuenta);
    return {};
}

// A key seen before in the file: the line that had it.
QString repetida(Contexto& c, const QString& clave, qint64 linea, const QString& que) {
    const auto [i, nueva] = c.vistas.emplace(clave, linea);
    if (nueva) return {};
    return QStringLiteral("%1 ya está en la línea %2").arg(que).arg(i->second);
}

// Each check turns the file's values `v` (in the order of its Archivo) into
// the table's row, or says why not. `primera`: the first pass, which also
// looks for repeated keys and gathers the accounts.
QString fila_abonado(Contexto& c, QStringList& v, qint64 linea, bool primera) {
    const QString& cuenta = v[0];
    if (!cuenta_valida(cuenta)) return QStringLiteral("la cuenta %1 no es válida").arg(cuenta);
    if (v[5].isEmpty()) v[5] = texto_estado(EstadoAbonado::Activo);
    const std::optional<EstadoAbonado> estado = estado_de_texto(v[5]);
    if (!estado) return QStringLiteral("el estado %1 no es válido: se espera activo, en_pruebas o baja").arg(v[5]);
    if (*estado == EstadoAbonado::EnPruebas && v[6].isEmpty())
        return QStringLiteral("el estado en_pruebas necesita en_pruebas_hasta");
    if (*estado != EstadoAbonado::EnPruebas && !v[6].isEmpty())
        return QStringLiteral("en_pruebas_hasta solo vale con el estado en_pruebas");
    if (!v[6].isEmpty()) {
        const QString m = momento_de(v[6]);
        if (m.isEmpty()) return QStringLiteral("el momento %1 no es válido: se espera AAAA-MM-DD HH:mm").arg(v[6]);
        v[6] = m;
    }
    if (v[7].isEmpty()) v[7] = QStringLiteral("0");
    bool numero = v[7].size() <= 9;
    for (const QChar ch : v[7]) numero = numero && ch >= u'0' && ch <= u'9';
    if (!numero)
        return QStringLiteral("prueba_cada_min %1 no es válido: se esperan minutos, 0 o más").arg(v[7]);
    v[7] = QString::number(v[7].toInt());
    if (primera) {
        if (QString r = repetida(c, cuenta, linea, QStringLiteral("la cuenta %1").arg(cuenta)); !r.isEmpty()) return r;
        c.enArchivo.insert(cuenta);
    }
    v << c.momento << c.puesto;
    return {};
}

QString fila_zona(Contexto& c, QStringList& v, qint64 linea, bool primera) {
    if (QString r = cuenta_de_archivo(c, v[0]); !r.isEmpty()) return r;
    if (v[2].isEmpty()) return QStringLiteral("falta la zona");
    if (v[1].size() > kLargoZona || v[2].size() > kLargoZona)
        return QStringLiteral("la partición y la zona tienen hasta %1 caracteres").arg(kLargoZona);
    if (primera) {
        const QString que = v[1].isEmpty() ? QStringLiteral("la zona %1 de la cuenta %2").arg(v[2], v[0])
                                           : QStringLiteral("la zona %1 de la partición %2 de la cuenta %3").arg(v[2], v[1], v[0]);
        if (QString r = repetida(c, v[0] + u'\x1f' + v[1] + u'\x1f' + v[2], linea, que); !r.isEmpty()) return r;
        c.cuentasZonas.insert(v[0]);
    }
    return {};
}

QString fila_contacto(Contexto& c, QStringList& v, qint64 linea, bool primera) {
    if (QString r = cuenta_de_archivo(c, v[0]); !r.isEmpty()) return r;
    bool numero = !v[1].isEmpty() && v[1].size() <= 6 && v[1].front() != u'0';
    for (const QChar ch : v[1]) numero = numero && ch >= u'0' && ch <= u'9';
    if (!numero) return QStringLiteral("el orden %1 no es válido: se espera un número de 1 en adelante").arg(v[1]);
    // The password and the hash are never named: the line is.
    if (v[5].isEmpty() && !v[6].isEmpty() && !parece_hash_clave(v[6]))
        return QStringLiteral("palabra_clave_hash no tiene la forma de un hash Argon2id de libsodium");
    if (primera) {
        if (QString r = repetida(c, v[0] + u'\x1f' + v[1], linea,
                                 QStringLiteral("el contacto %1 de la cuenta %2").arg(v[1], v[0]));
            !r.isEmpty())
            return r;
        c.cuentasContactos.insert(v[0]);
        return {};
    }
    // A password in clear wins over a hash.
    QString hash = v[5].isEmpty() ? v[6] : hash_palabra_clave(v[5]);
    if (!v[5].isEmpty() && hash.isEmpty()) return QStringLiteral("no se pudo calcular el hash de la palabra clave");
    v.removeLast();
    v.last() = hash;
    return {};
}

QString fila_instruccion(Contexto& c, QStringList& v, qint64 linea, bool primera) {
    if (v[0] != kTodasLasCuentas)
        if (QString r = cuenta_de_archivo(c, v[0]); !r.isEmpty()) return r;
    if (!c.clases.contains(v[1]))
        return QStringLiteral("la clase %1 no existe: se espera %2").arg(v[1], c.clases.join(QStringLiteral(", ")));
    if (primera) {
        if (QString r = repetida(c, v[0] + u'\x1f' + v[1], linea,
                                 QStringLiteral("la instrucción de %1 de la cuenta %2").arg(v[1], v[0]));
            !r.isEmpty())
            return r;
        c.cuentasInstrucciones.insert(v[0]);
    }
    return {};
}

using Comprobacion = QString (*)(Contexto&, QStringList&, qint64, bool);

// The first line of `bytes` that is not valid UTF-8 (1 for the first).
qint64 linea_no_utf8(const QByteArray& bytes) {
    qint64 linea = 1;
    qsizetype inicio = 0;
    while (inicio <= bytes.size()) {
        qsizetype fin = bytes.indexOf('\n', inicio);
        if (fin < 0) fin = bytes.size();
        QStringDecoder d(QStringDecoder::Utf8);
        [[maybe_unused]] const QString t = d(QByteArrayView(bytes.constData() + inicio, fin - inicio));
        if (d.hasError()) return linea;
        ++linea;
        inicio = fin + 1;
    }
    return linea;
}

// Reads the file `a` of `carpeta`, when it is there (`presente`), and hands
// each record's values, in `a`'s column order, to `fila` with its line. An
// empty `rechazo` when all went well.
void recorrer_archivo(const QString& carpeta, const Archivo& a, bool& presente, QString& rechazo,
                      const std::function<QString(QStringList&, qint64)>& fila) {
    const QString ruta = QDir(carpeta).filePath(a.nombre);
    presente = QFileInfo::exists(ruta);
    if (!presente) return;
    const auto rechazar = [&](qint64 linea, const QString& motivo) {
        rechazo = QStringLiteral("%1, línea %2: %3").arg(a.nombre).arg(linea).arg(motivo);
    };
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly)) {
        rechazo = QStringLiteral("%1: no se puede leer (%2)").arg(a.nombre, archivo.errorString());
        return;
    }
    const QByteArray bytes = archivo.readAll();
    QStringDecoder decodificador(QStringDecoder::Utf8);
    QString texto = decodificador(bytes);
    if (decodificador.hasError()) return rechazar(linea_no_utf8(bytes), QStringLiteral("el texto no es UTF-8"));
    LectorCsv lector(std::move(texto));
    QStringList valores;
    qint64 linea = 1;
    QString error;
    if (!lector.siguiente(valores, linea, error))
        return rechazar(linea, error.isEmpty() ? QStringLiteral("falta la fila de cabecera") : error);
    // Where each of the file's columns is in the records; -1: an optional one absent.
    std::vector<qsizetype> posicion(static_cast<size_t>(a.columnas.size()), -1);
    for (qsizetype i = 0; i < valores.size(); ++i) {
        const qsizetype k = a.columnas.indexOf(valores[i]);
        if (k < 0)
            return rechazar(linea, QStringLiteral("la columna %1 no es de %2 (se esperan %3)")
                                       .arg(valores[i], a.nombre, a.columnas.join(QLatin1Char(','))));
        if (posicion[static_cast<size_t>(k)] >= 0)
            return rechazar(linea, QStringLiteral("la columna %1 está repetida").arg(valores[i]));
        posicion[static_cast<size_t>(k)] = i;
    }
    for (qsizetype k = 0; k < a.columnas.size() - a.opcionales; ++k)
        if (posicion[static_cast<size_t>(k)] < 0)
            return rechazar(linea, QStringLiteral("falta la columna %1").arg(a.columnas[k]));
    const qsizetype columnas = valores.size();
    QStringList ordenados;
    while (lector.siguiente(valores, linea, error)) {
        if (valores.size() != columnas)
            return rechazar(linea, QStringLiteral("se esperan %1 columnas y hay %2").arg(columnas).arg(valores.size()));
        ordenados.clear();
        for (const qsizetype p : posicion) ordenados << (p < 0 ? QStringLiteral("") : valores[p]);
        for (const QString& v : std::as_const(ordenados))
            if (v.contains(QChar(0))) return rechazar(linea, QStringLiteral("un valor contiene el carácter nulo"));
        if (QString motivo = fila(ordenados, linea); !motivo.isEmpty()) return rechazar(linea, motivo);
    }
    if (!error.isEmpty()) rechazar(linea, error);
}

// The accounts of `cuentas` that the register held, in pieces for DELETE ... IN.
Fallo borrar(BaseDatos& base, const QString& tabla, const QString& columna, const QSet<QString>& cuentas,
             const QSet<QString>& registradas) {
    QVariantList claves;
    const auto ejecutar = [&]() -> Fallo {
        if (claves.isEmpty()) return {};
        QString marcas = QStringLiteral("?");
        for (qsizetype i = 1; i < claves.size(); ++i) marcas += QStringLiteral(",?");
        Fallo f = base.ejecutar(QStringLiteral("DELETE FROM %1 WHERE %2 IN (%3)").arg(tabla, columna, marcas), claves);
        claves.clear();
        return f;
    };
    for (const QString& c : cuentas) {
        if (!registradas.contains(c) && c != kTodasLasCuentas) continue;
        claves << c;
        if (claves.size() == kClavesPorBorrado)
            if (Fallo f = ejecutar()) return f;
    }
    return ejecutar();
}

// Where every row goes.
struct Destino {
    const Archivo* archivo;
    Comprobacion comprobar;
    const QString* tabla;
    QStringList columnas;
    QString columnaCuenta;
    QSet<QString> Contexto::*cuentas; // null: abonados.csv, whose set is enArchivo
    qint64 ResumenImportacion::*cuenta;
};

} // namespace

Fallo importar_abonados(BaseDatos& base, const QString& carpeta, const QString& momento, const QString& puesto,
                        QString& rechazo, ResumenImportacion& resumen) {
    rechazo.clear();
    resumen = {};
    if (!QFileInfo(carpeta).isDir()) {
        rechazo = QStringLiteral("la carpeta «%1» no existe").arg(carpeta);
        return {};
    }
    const std::vector<Destino> destinos = {
        {&kAbonadosCsv, fila_abonado, &kAbonados, nombres(kColumnasAbonados), QStringLiteral("abon_cuenta"), nullptr,
         &ResumenImportacion::abonados},
        {&kZonasCsv, fila_zona, &kZonas, nombres(kColumnasZonas), QStringLiteral("zona_cuenta"), &Contexto::cuentasZonas,
         &ResumenImportacion::zonas},
        {&kContactosCsv, fila_contacto, &kContactos, nombres(kColumnasContactos), QStringLiteral("cont_cuenta"),
         &Contexto::cuentasContactos, &ResumenImportacion::contactos},
        {&kInstruccionesCsv, fila_instruccion, &kInstrucciones, nombres(kColumnasInstrucciones),
         QStringLiteral("inst_cuenta"), &Contexto::cuentasInstrucciones, &ResumenImportacion::instrucciones},
    };
    bool alguno = false;
    for (const Destino& d : destinos) alguno = alguno || QFileInfo::exists(QDir(carpeta).filePath(d.archivo->nombre));
    if (!alguno) {
        rechazo = QStringLiteral("la carpeta «%1» no tiene abonados.csv, zonas.csv, contactos.csv ni instrucciones.csv")
                      .arg(carpeta);
        return {};
    }
    if (Fallo f = crear_tablas_abonados(base)) return f;
    Contexto c;
    c.momento = momento;
    c.puesto = puesto;
    if (Fallo f = base.recorrer(QStringLiteral("SELECT abon_cuenta FROM ") + kAbonados,
                                [&c](const ValoresFila& v) {
                                    c.registradas.insert(QString::fromUtf8(v[0].data(), static_cast<qsizetype>(v[0].size())));
                                    return Fallo{};
                                }))
        return f;

    // First pass: every file checked whole before anything is written.
    for (const Destino& d : destinos) {
        c.vistas.clear();
        bool presente = false;
        recorrer_archivo(carpeta, *d.archivo, presente, rechazo,
                         [&](QStringList& v, qint64 linea) { return d.comprobar(c, v, linea, true); });
        if (!rechazo.isEmpty()) return {};
    }
    c.vistas = {};

    // Second pass, in one transaction: the sets replaced, then the rows loaded.
    if (Fallo f = base.comenzarLote()) return f;
    const auto deshacer = [&base](Fallo f) {
        base.deshacerLote();
        return f;
    };
    for (const Destino& d : destinos) {
        const QSet<QString>& cuentas = d.cuentas == nullptr ? c.enArchivo : c.*d.cuentas;
        if (Fallo f = borrar(base, *d.tabla, d.columnaCuenta, cuentas, c.registradas)) return deshacer(f);
        std::vector<QStringList> filas;
        filas.reserve(kFilasPorCarga);
        Fallo fallo;
        bool presente = false;
        recorrer_archivo(carpeta, *d.archivo, presente, rechazo, [&](QStringList& v, qint64 linea) -> QString {
            if (QString motivo = d.comprobar(c, v, linea, false); !motivo.isEmpty()) return motivo;
            filas.push_back(v);
            ++(resumen.*d.cuenta);
            if (filas.size() == kFilasPorCarga) {
                fallo = base.cargarFilas(*d.tabla, d.columnas, filas);
                filas.clear();
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
    QSet<QString> cambiadas = c.enArchivo;
    cambiadas.unite(c.cuentasZonas).unite(c.cuentasContactos).unite(c.cuentasInstrucciones);
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
Fallo exportar_archivo(BaseDatos& base, bool tablas, const QString& ruta, const Archivo& a, const QString& sentencia,
                       const std::function<void(QByteArray&, const ValoresFila&)>& fila, QString& rechazo,
                       qint64& filas) {
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        rechazo = QStringLiteral("no se puede escribir «%1»: %2").arg(ruta, archivo.errorString());
        return {};
    }
    QByteArray bloque = a.columnas.join(QLatin1Char(',')).toUtf8() + "\r\n";
    Fallo escrito;
    const auto vaciar = [&] {
        if (archivo.write(bloque) != bloque.size()) escrito = {1, archivo.errorString()};
        bloque.clear();
    };
    if (tablas)
        if (Fallo f = base.recorrer(sentencia, [&](const ValoresFila& v) -> Fallo {
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
        rechazo = QStringLiteral("no se puede escribir «%1»: %2").arg(ruta, escrito ? escrito.detalle : archivo.errorString());
        return {};
    }
    return {};
}

void valores(QByteArray& bloque, const ValoresFila& v) {
    for (size_t i = 0; i < v.size(); ++i) agregar_valor_csv(bloque, v[i], i == 0);
}

} // namespace

Fallo exportar_abonados(BaseDatos& base, const QString& carpeta, QString& rechazo, ResumenImportacion& resumen) {
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
    const auto seleccion = [&](const QString& tabla, const auto& columnas, const QString& clave) -> QString {
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
                                   seleccion(kZonas, kColumnasZonas, kClaveZonas), valores, rechazo, resumen.zonas);
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
                            seleccion(kInstrucciones, kColumnasInstrucciones, kClaveInstrucciones), valores, rechazo,
                            resumen.instrucciones);
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
    linea(QStringLiteral("Estado"), a->estado == EstadoAbonado::EnPruebas
                                        ? QStringLiteral("en pruebas hasta %1").arg(a->enPruebasHasta.left(16))
                                    : a->estado == EstadoAbonado::Baja ? QStringLiteral("baja")
                                                                       : QStringLiteral("activo"));
    linea(QStringLiteral("Prueba periódica"), a->pruebaCadaMin > 0
                                                  ? QStringLiteral("cada %1 min").arg(a->pruebaCadaMin)
                                                  : QStringLiteral("ninguna"));
    linea(QStringLiteral("Notas"), o_nada(QString(a->notas).replace(QLatin1Char('\n'), QStringLiteral("\n       "))));
    linea(QStringLiteral("Modificado"), a->modificado.isEmpty() ? QStringLiteral("-")
                                                                : QStringLiteral("%1 en %2").arg(a->modificado, o_nada(a->modificadoPor)));
    ficha += QStringLiteral("\nZonas:\n");
    if (a->zonas.empty()) ficha += QStringLiteral("  (ninguna)\n");
    for (const ZonaAbonado& z : a->zonas)
        ficha += QStringLiteral("  Partición %1, zona %2: %3\n")
                     .arg(z.particion.isEmpty() ? QStringLiteral("cualquiera") : z.particion, z.zona, z.descripcion);
    ficha += QStringLiteral("\nContactos (por orden de llamada):\n");
    if (a->contactos.empty()) ficha += QStringLiteral("  (ninguno)\n");
    for (const ContactoAbonado& k : a->contactos)
        ficha += QStringLiteral("  %1. %2, %3, %4; palabra clave: %5\n")
                     .arg(QString::number(k.orden), o_nada(k.nombre), o_nada(k.telefono), o_nada(k.relacion),
                          k.hashClave.isEmpty() ? QStringLiteral("no") : QStringLiteral("sí"));
    ficha += QStringLiteral("\nInstrucciones:\n");
    QStringList propias;
    for (const InstruccionAbonado& i : a->instrucciones) {
        propias << i.clase;
        ficha += QStringLiteral("  %1: %2\n").arg(i.clase, i.texto);
    }
    for (const InstruccionAbonado& i : generales)
        if (!propias.contains(i.clase)) ficha += QStringLiteral("  %1 (general): %2\n").arg(i.clase, i.texto);
    if (a->instrucciones.empty() && generales.empty()) ficha += QStringLiteral("  (ninguna)\n");
    return {};
}

} // namespace corvane
