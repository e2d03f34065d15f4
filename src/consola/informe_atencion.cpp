#include "consola/informe_atencion.h"

#include <QDateTime>

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "abonados/csv_abonados.h"
#include "common/registro_errores.h"
#include "common/reloj.h"
#include "store/ciclo_alarmas.h"
#include "store/esquema.h"
#include "store/funcionesBaseDatos.h"
#include "store/motor.h"
#include "store/tablas_propias.h"

namespace corvane {
namespace {

// Nearest-rank percentile: the smallest value with at least `p` per cent of the
// values at or below it, v[ceil(p/100 * n) - 1] of the sorted values. The
// median is its 50th percentile: of an even count, the lower of the two middle
// values (never an average, so it is always a time that was measured).
qint64 percentil(const std::vector<qint64>& ordenados, int p) {
    const auto n = static_cast<qint64>(ordenados.size());
    const qint64 rango = std::max<qint64>(1, (p * n + 99) / 100);
    return ordenados[static_cast<std::size_t>(rango - 1)];
}

TiemposAtencion tiempos(std::vector<qint64> segundos) {
    TiemposAtencion t;
    t.cuantos = static_cast<int>(segundos.size());
    if (segundos.empty()) return t;
    std::sort(segundos.begin(), segundos.end());
    t.mediana = percentil(segundos, 50);
    t.p90 = percentil(segundos, 90);
    return t;
}

QDateTime momento(const QString& texto) {
    return QDateTime::fromString(texto, kFormatoMomento);
}

// Seconds from `desde` to `hasta`; none when either is missing.
std::optional<qint64> segundos(const QDateTime& desde, const QString& hasta) {
    const QDateTime h = momento(hasta);
    if (!desde.isValid() || !h.isValid()) return std::nullopt;
    return std::max<qint64>(0, desde.secsTo(h));
}

QString operador(const QString& usuario) {
    return usuario.isEmpty() ? kSinOperador : usuario;
}

// "(sin operador)" after every named operator.
bool antes_operador(const QString& a, const QString& b) {
    if ((a == kSinOperador) != (b == kSinOperador)) return b == kSinOperador;
    return a < b;
}

struct Acumulado {
    std::set<QString> claves;
    std::vector<qint64> reconocer, cerrar;
};

FilaOperadorClase fila(const QString& nombre, ClaseEvento clase, Acumulado a) {
    return {nombre, clase, static_cast<int>(a.claves.size()), tiempos(std::move(a.reconocer)),
            tiempos(std::move(a.cerrar))};
}

} // namespace

InformeAtencion calcular_informe(const std::vector<FilaAlarma>& alarmas, QDate desde, QDate hasta) {
    InformeAtencion r;
    r.desde = desde;
    r.hasta = hasta;
    const QDateTime inicio(desde, QTime(0, 0, 0)), fin(hasta, QTime(23, 59, 59));
    std::map<std::pair<QString, ClaseEvento>, Acumulado> porOperador;
    std::map<ClaseEvento, Acumulado> porClase;
    std::map<ClaseEvento, int> abiertas;
    std::map<QString, int> falsas;
    for (const FilaAlarma& a : alarmas) {
        const QDateTime recibida = momento(a.recibida);
        if (!recibida.isValid() || recibida < inicio || recibida > fin) continue;
        ++r.recibidas;
        ++r.porHora[static_cast<std::size_t>(recibida.time().hour())];
        const ClaseEvento clase = clasificar_evento(a.evento).clase;
        const bool cerrada = estado_de(a) == EstadoAlarma::Cerrada;
        if (const auto s = segundos(recibida, a.reconocida)) {
            Acumulado& o = porOperador[{operador(a.operadorReconocimiento), clase}];
            o.claves.insert(a.clave);
            o.reconocer.push_back(*s);
            porClase[clase].claves.insert(a.clave);
            porClase[clase].reconocer.push_back(*s);
        }
        if (!cerrada) {
            ++abiertas[clase];
            continue;
        }
        if (const auto s = segundos(recibida, a.cerrada)) {
            Acumulado& o = porOperador[{operador(a.operadorCierre), clase}];
            o.claves.insert(a.clave);
            o.cerrar.push_back(*s);
            porClase[clase].claves.insert(a.clave);
            porClase[clase].cerrar.push_back(*s);
        }
        const Resolucion* res = resolucion_de(a.resolucion);
        if (res != nullptr && res->falsa) ++falsas[a.abonado];
    }
    std::vector<std::pair<QString, ClaseEvento>> claves;
    for (const auto& [clave, acumulado] : porOperador) claves.push_back(clave);
    std::stable_sort(claves.begin(), claves.end(), [](const auto& a, const auto& b) {
        if (a.first != b.first) return antes_operador(a.first, b.first);
        return a.second < b.second;
    });
    for (const auto& c : claves)
        r.operadores.push_back(fila(c.first, c.second, std::move(porOperador[c])));
    for (auto& [clase, acumulado] : porClase)
        r.clases.push_back(fila(QString(), clase, std::move(acumulado)));
    for (const auto& [clase, n] : abiertas) r.abiertas.emplace_back(clase, n);
    for (const auto& [abonado, n] : falsas) r.falsas.emplace_back(abonado, n);
    std::stable_sort(r.falsas.begin(), r.falsas.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    if (r.falsas.size() > kMaximoFalsas) r.falsas.resize(kMaximoFalsas);
    return r;
}

Fallo leer_alarmas_informe(BaseDatos& base, QDate desde, QDate hasta,
                           std::vector<FilaAlarma>& alarmas) {
    alarmas.clear();
    const bool postgresql = base.dialecto() == Dialecto::PostgreSQL;
    bool tabla = false;
    if (Fallo f = tablas_propias::presente(
            base, postgresql ? esquema::kTablaAlarmas.toLower() : esquema::kTablaAlarmas, tabla))
        return f;
    if (!tabla) return {};
    struct Columna {
        const char* nombre;
        QString FilaAlarma::*campo;
        bool momento;
    };
    static const Columna kBasicas[] = {
        {"alar_clave", &FilaAlarma::clave, false},
        {"alar_numero_abonado", &FilaAlarma::abonado, false},
        {"alar_evento", &FilaAlarma::evento, false},
        {"alar_recibida", &FilaAlarma::recibida, true},
        {"alar_reconocida", &FilaAlarma::reconocida, true},
    };
    // The handling's columns, which a table of an older version lacks until a
    // console of this one opens it: none of them is asked for then.
    static const Columna kCiclo[] = {
        {"alar_estado", &FilaAlarma::estado, false},
        {"alar_operador_reconocimiento", &FilaAlarma::operadorReconocimiento, false},
        {"alar_cerrada", &FilaAlarma::cerrada, true},
        {"alar_operador_cierre", &FilaAlarma::operadorCierre, false},
        {"alar_resolucion", &FilaAlarma::resolucion, false},
    };
    std::vector<Columna> columnas(std::begin(kBasicas), std::end(kBasicas));
    {
        std::unique_ptr<Registros> rs;
        const Fallo f =
            base.abrirRegistros(QStringLiteral("SELECT alar_estado,alar_cerrada FROM ") +
                                    esquema::kTablaAlarmas + QStringLiteral(" WHERE 1=0"),
                                {}, rs);
        if (rs) rs->cerrar();
        if (f && f.numero != fallos::kSentenciaRechazada) return f;
        if (!f) columnas.insert(columnas.end(), std::begin(kCiclo), std::end(kCiclo));
    }
    QStringList nombres;
    for (const Columna& c : columnas) nombres << QLatin1String(c.nombre);
    const QString marca = postgresql ? QStringLiteral("CAST(? AS TIMESTAMP)") : QStringLiteral("?");
    const QString sentencia = QStringLiteral("SELECT ") + nombres.join(QLatin1Char(',')) +
                              QStringLiteral(" FROM ") + esquema::kTablaAlarmas +
                              QStringLiteral(" WHERE alar_recibida>=") + marca +
                              QStringLiteral(" AND alar_recibida<=") + marca +
                              QStringLiteral(" ORDER BY alar_recibida, alar_id");
    const QVariantList valores{QDateTime(desde, QTime(0, 0, 0)).toString(kFormatoMomento),
                               QDateTime(hasta, QTime(23, 59, 59)).toString(kFormatoMomento)};
    std::unique_ptr<Registros> rs;
    if (Fallo f = base.abrirRegistros(sentencia, valores, rs)) return f;
    while (!rs->alFinal()) {
        FilaAlarma a;
        for (const Columna& c : columnas) {
            QVariant v;
            if (Fallo f = rs->valor(QLatin1String(c.nombre), v)) {
                rs->cerrar();
                return f;
            }
            const QDateTime m = c.momento && !v.isNull() ? momento_guardado(v) : QDateTime();
            a.*(c.campo) = m.isValid() ? m.toString(kFormatoMomento) : v.toString();
        }
        alarmas.push_back(std::move(a));
        if (Fallo f = rs->siguiente()) {
            rs->cerrar();
            return f;
        }
    }
    rs->cerrar();
    return {};
}

Fallo informe_atencion(BaseDatos& base, QDate desde, QDate hasta, InformeAtencion& informe) {
    std::vector<FilaAlarma> alarmas;
    if (Fallo f = leer_alarmas_informe(base, desde, hasta, alarmas)) return f;
    informe = calcular_informe(alarmas, desde, hasta);
    return {};
}

QString texto_duracion(std::optional<qint64> segundos) {
    if (!segundos) return QStringLiteral("-");
    const qint64 s = *segundos;
    const QString ss = QStringLiteral("%1").arg(s % 60, 2, 10, QLatin1Char('0'));
    if (s < 3600) return QStringLiteral("%1:%2").arg(s / 60).arg(ss);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(ss);
}

namespace {

// Columns padded to the widest value; the first ones to the left, the figures
// to the right.
QString tabla_texto(const QStringList& cabecera, const std::vector<QStringList>& filas,
                    int aLaIzquierda) {
    std::vector<qsizetype> ancho;
    for (const QString& c : cabecera) ancho.push_back(c.size());
    for (const QStringList& f : filas)
        for (qsizetype i = 0; i < f.size(); ++i)
            ancho[static_cast<std::size_t>(i)] =
                std::max(ancho[static_cast<std::size_t>(i)], f[i].size());
    QString texto;
    const auto linea = [&](const QStringList& valores) {
        QStringList partes;
        for (qsizetype i = 0; i < valores.size(); ++i) {
            const auto w = ancho[static_cast<std::size_t>(i)];
            partes << (i < aLaIzquierda ? valores[i].leftJustified(w)
                                        : valores[i].rightJustified(w));
        }
        texto += partes.join(QStringLiteral("  ")).trimmed() + QLatin1Char('\n');
    };
    linea(cabecera);
    for (const QStringList& f : filas) linea(f);
    return texto;
}

QStringList valores_fila(const FilaOperadorClase& f, const QString& operador) {
    return {operador,
            nombre_clase(f.clase),
            QString::number(f.atendidas),
            texto_duracion(f.reconocer.mediana),
            texto_duracion(f.reconocer.p90),
            texto_duracion(f.cerrar.mediana),
            texto_duracion(f.cerrar.p90)};
}

} // namespace

QString texto_informe(const InformeAtencion& r) {
    const QString formato = QStringLiteral("dd/MM/yyyy");
    QString t = QStringLiteral("Informe de atención del %1 al %2: %3 alarmas recibidas\n")
                    .arg(r.desde.toString(formato), r.hasta.toString(formato))
                    .arg(r.recibidas);
    if (r.recibidas == 0) return t + QStringLiteral("No hay alarmas recibidas en esos días\n");
    std::vector<QStringList> filas;
    for (const FilaOperadorClase& f : r.operadores) filas.push_back(valores_fila(f, f.operador));
    for (const FilaOperadorClase& f : r.clases)
        filas.push_back(valores_fila(f, QStringLiteral("(todos)")));
    t += QLatin1Char('\n') +
         tabla_texto({QStringLiteral("Operador"), QStringLiteral("Clase"),
                      QStringLiteral("Atendidas"), QStringLiteral("Mediana reconocer"),
                      QStringLiteral("P90 reconocer"), QStringLiteral("Mediana cerrar"),
                      QStringLiteral("P90 cerrar")},
                     filas, 2);
    filas.clear();
    for (const auto& [clase, n] : r.abiertas)
        filas.push_back({nombre_clase(clase), QString::number(n)});
    t += QStringLiteral("\nAbiertas\n");
    t += filas.empty()
             ? QStringLiteral("Ninguna\n")
             : tabla_texto({QStringLiteral("Clase"), QStringLiteral("Abiertas")}, filas, 1);
    filas.clear();
    for (const auto& [abonado, n] : r.falsas) filas.push_back({abonado, QString::number(n)});
    t += QStringLiteral("\nAbonados con más falsas alarmas\n");
    t += filas.empty()
             ? QStringLiteral("Ninguno\n")
             : tabla_texto({QStringLiteral("Abonado"), QStringLiteral("Falsas")}, filas, 1);
    filas.clear();
    for (std::size_t h = 0; h < r.porHora.size(); ++h)
        if (r.porHora[h] > 0)
            filas.push_back({QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0')),
                             QString::number(r.porHora[h])});
    t += QStringLiteral("\nAlarmas por hora del día\n") +
         tabla_texto({QStringLiteral("Hora"), QStringLiteral("Alarmas")}, filas, 1);
    return t;
}

QByteArray csv_informe(const InformeAtencion& r) {
    QByteArray csv;
    const auto fila = [&csv](const QStringList& valores) {
        QByteArray f;
        for (qsizetype i = 0; i < valores.size(); ++i) {
            const QByteArray v = valores[i].toUtf8();
            agregar_valor_csv(
                f, std::string_view(v.constData(), static_cast<std::size_t>(v.size())), i == 0);
        }
        csv += f + "\r\n";
    };
    const auto s = [](std::optional<qint64> v) { return v ? QString::number(*v) : QString(); };
    fila({"seccion", "nombre", "clase", "cantidad", "mediana_reconocer_s", "p90_reconocer_s",
          "mediana_cerrar_s", "p90_cerrar_s"});
    const auto tiempos_fila = [&](const char* seccion, const FilaOperadorClase& f) {
        fila({QLatin1String(seccion), f.operador, nombre_clase(f.clase),
              QString::number(f.atendidas), s(f.reconocer.mediana), s(f.reconocer.p90),
              s(f.cerrar.mediana), s(f.cerrar.p90)});
    };
    for (const FilaOperadorClase& f : r.operadores) tiempos_fila("operador", f);
    for (const FilaOperadorClase& f : r.clases) tiempos_fila("clase", f);
    for (const auto& [clase, n] : r.abiertas)
        fila({"abiertas", QString(), nombre_clase(clase), QString::number(n), {}, {}, {}, {}});
    for (const auto& [abonado, n] : r.falsas)
        fila({"falsas", abonado, QString(), QString::number(n), {}, {}, {}, {}});
    for (std::size_t h = 0; h < r.porHora.size(); ++h)
        fila(
            {"hora", QString::number(h), QString(), QString::number(r.porHora[h]), {}, {}, {}, {}});
    return csv;
}

} // namespace corvane
