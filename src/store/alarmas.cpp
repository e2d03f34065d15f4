#include "store/alarmas.h"

#include <QDateTime>

#include <algorithm>

#include "common/registro_errores.h"
#include "common/reloj.h"
#include "store/ciclo_alarmas.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {
namespace {

// Writes of one statement: SQLite before 3.32 binds at most 999 values.
constexpr int kAlarmasPorSentencia = 90;

// The value of column `c` of `fila` as the statement binds it: an empty
// acknowledgement field is NULL, any other text is stored as it is.
QVariant valor(const FilaAlarma& fila, const esquema::ColumnaAlarma& c) {
    const QString& v = fila.*c.texto;
    if (c.reconocimiento && v.isEmpty()) return QVariant(QMetaType(QMetaType::QString));
    return v.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(v);
}

// How the cause of a table with other columns begins.
const QString kTablaAjena = QStringLiteral("la tabla de alarmas ");

// `n` marks of bound values, "?,?,...".
QString marcas(qsizetype n) {
    QString s;
    for (qsizetype i = 0; i < n; ++i) s += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return s;
}

Fallo crear_tabla(BaseDatos& base);

Fallo existe_tabla(BaseDatos& base, bool& existe) {
    const QString consulta =
        base.dialecto() == Dialecto::PostgreSQL
            ? QStringLiteral(
                  "SELECT CASE WHEN to_regclass('%1') IS NULL THEN 0 ELSE 1 END AS existe")
                  .arg(esquema::kTablaAlarmas)
            : QStringLiteral("SELECT count(*) AS existe FROM sqlite_master "
                             "WHERE type='table' AND name='%1'")
                  .arg(esquema::kTablaAlarmas);
    std::unique_ptr<Registros> rs;
    if (Fallo f = base.abrirRegistros(consulta, rs)) return f;
    QVariant v;
    const Fallo f = rs->valor(QStringLiteral("existe"), v);
    rs->cerrar();
    if (f) return f;
    existe = v.toInt() > 0;
    return {};
}

} // namespace

Fallo asegurar_tabla_alarmas(BaseDatos& base) {
    bool existe = false;
    if (Fallo f = existe_tabla(base, existe)) return f;
    return existe ? Fallo{} : crear_tabla(base);
}

namespace {

Fallo crear_tabla(BaseDatos& base) {
    if (base.dialecto() == Dialecto::SQLite) {
        if (Fallo f = base.ejecutar(esquema::crear_tabla_alarmas_sqlite())) return f;
        return base.ejecutar(esquema::kCrearIndiceAlarmas);
    }
    // One statement is one transaction: consoles that find the table missing
    // together create it one at a time, under the schema's advisory lock.
    QString bloqueo = esquema::kBloqueoEsquema;
    bloqueo.replace(QStringLiteral("SELECT "), QStringLiteral("PERFORM "));
    if (Fallo f = base.ejecutar(QStringLiteral("DO $$BEGIN ") + bloqueo + QStringLiteral("; ") +
                                esquema::crear_tabla_alarmas_postgresql() + QStringLiteral("; ") +
                                esquema::kCrearIndiceAlarmas + QStringLiteral("; END$$")))
        return f;
    // Workstations that follow the server hear of every change of the table.
    return base.ejecutar(esquema::avisos_postgresql());
}

// The columns of ours that the table found by that name lacks: none when it
// is ours. Each is looked up alone: a SELECT of no row fails on a missing column.
Fallo columnas_que_faltan(BaseDatos& base, QStringList& faltan) {
    faltan.clear();
    for (const esquema::ColumnaAlarma& c : esquema::kColumnasAlarma) {
        std::unique_ptr<Registros> rs;
        const Fallo f =
            base.abrirRegistros(QStringLiteral("SELECT ") + c.nombre + QStringLiteral(" FROM ") +
                                    esquema::kTablaAlarmas + QStringLiteral(" WHERE 1=0"),
                                rs);
        if (rs) rs->cerrar();
        if (f.numero == fallos::kSentenciaRechazada)
            faltan << c.nombre;
        else if (f)
            return f;
    }
    return {};
}

// The failure `f` of a statement on the alarm table, with its cause in our
// words when the table of that name is not ours (an operator's table, left as
// it is): the same number, so that a retry meets the same failure.
Fallo causa_de(BaseDatos& base, Fallo f) {
    QStringList faltan;
    if (f.numero != fallos::kSentenciaRechazada || columnas_que_faltan(base, faltan) ||
        faltan.isEmpty())
        return f;
    const QString donde = base.dialecto() == Dialecto::PostgreSQL ? QStringLiteral("del servidor")
                                                                  : QStringLiteral("del archivo");
    return {f.numero, kTablaAjena + QStringLiteral("%1 tiene otras columnas: le faltan %2")
                                        .arg(donde, faltan.join(QStringLiteral(", ")))};
}

// Runs `sentencia` with `valores`, a write on the alarm table; when it fails
// because the table is missing, the table is created and the statement runs
// again. A table of that name with other columns is never changed.
Fallo escribir(BaseDatos& base, const QString& sentencia, const QVariantList& valores) {
    const Fallo f = base.ejecutar(sentencia, valores);
    if (!f) return {};
    bool existe = true;
    if (existe_tabla(base, existe)) return f;
    if (existe) return causa_de(base, f);
    if (Fallo g = crear_tabla(base)) return g;
    return base.ejecutar(sentencia, valores);
}

} // namespace

Fallo comprobar_tabla_alarmas(BaseDatos& base) {
    QStringList faltan;
    if (Fallo f = columnas_que_faltan(base, faltan)) return f;
    if (faltan.isEmpty()) return {};
    return causa_de(base, {fallos::kSentenciaRechazada, QStringLiteral("columnas ajenas")});
}

QString causa_alarmas(const Fallo& f) {
    if (f.detalle.startsWith(kTablaAjena)) return f.detalle;
    const QString texto = mensaje_de_error(f.numero);
    return texto.left(1).toLower() + texto.mid(1);
}

Fallo guardar_alarmas(BaseDatos& base, const std::vector<FilaAlarma>& alarmas) {
    if (alarmas.empty()) return {};
    const QString fila =
        QLatin1Char('(') + marcas(esquema::kColumnasAlarma.size()) + QLatin1Char(')');
    for (std::size_t desde = 0; desde < alarmas.size(); desde += kAlarmasPorSentencia) {
        const std::size_t hasta = std::min(alarmas.size(), desde + kAlarmasPorSentencia);
        QString s = esquema::insertar_alarmas();
        QVariantList valores;
        for (std::size_t i = desde; i < hasta; ++i) {
            s += (i == desde ? QString() : QStringLiteral(",")) + fila;
            for (const esquema::ColumnaAlarma& c : esquema::kColumnasAlarma)
                valores << valor(alarmas[i], c);
        }
        if (Fallo f = escribir(base, s + esquema::kSinRepetirAlarmas, valores)) return f;
    }
    return {};
}

Fallo reconocer_alarmas(BaseDatos& base, const QStringList& claves, const QString& momento,
                        const QString& puesto) {
    for (qsizetype desde = 0; desde < claves.size(); desde += kAlarmasPorSentencia) {
        const QStringList parte = claves.mid(desde, kAlarmasPorSentencia);
        QVariantList valores{momento, puesto};
        for (const QString& c : parte) valores << c;
        if (Fallo f =
                escribir(base, esquema::kReconocerAlarmas + marcas(parte.size()) + QLatin1Char(')'),
                         valores))
            return f;
    }
    return {};
}

namespace {

Fallo leer_alarmas(BaseDatos& base, const QString& condicion, const QVariantList& valores,
                   std::vector<FilaAlarma>& alarmas) {
    alarmas.clear();
    std::unique_ptr<Registros> rs;
    const QString consulta = QStringLiteral("SELECT ") + esquema::lista_columnas_alarma() +
                             QStringLiteral(" FROM ") + esquema::kTablaAlarmas +
                             QStringLiteral(" WHERE ") + condicion;
    if (const Fallo f = base.abrirRegistros(consulta, valores, rs)) {
        bool existe = true;
        if (existe_tabla(base, existe)) return f;
        return existe ? causa_de(base, f) : Fallo{};
    }
    while (!rs->alFinal()) {
        FilaAlarma fila;
        for (const esquema::ColumnaAlarma& c : esquema::kColumnasAlarma) {
            QVariant v;
            if (Fallo f = rs->valor(c.nombre, v)) {
                rs->cerrar();
                return f;
            }
            const QDateTime momento = c.momento ? momento_guardado(v) : QDateTime();
            fila.*c.texto = momento.isValid() ? momento.toString(kFormatoMomento) : v.toString();
        }
        alarmas.push_back(std::move(fila));
        if (Fallo f = rs->siguiente()) {
            rs->cerrar();
            return f;
        }
    }
    rs->cerrar();
    return {};
}

} // namespace

Fallo leer_alarmas_sin_reconocer(BaseDatos& base, const QString& receptor,
                                 std::vector<FilaAlarma>& alarmas) {
    const QString orden =
        QStringLiteral("alar_reconocida IS NULL ORDER BY alar_recibida DESC, alar_id DESC");
    if (receptor.isEmpty()) return leer_alarmas(base, orden, {}, alarmas);
    return leer_alarmas(base, QStringLiteral("alar_puesto=? AND ") + orden, {receptor}, alarmas);
}

Fallo leer_alarmas_reconocidas(BaseDatos& base, int maximo, std::vector<FilaAlarma>& alarmas) {
    return leer_alarmas(
        base,
        QStringLiteral("alar_reconocida IS NOT NULL ORDER BY alar_reconocida DESC, alar_id DESC "
                       "LIMIT ?"),
        {maximo}, alarmas);
}

} // namespace corvane

namespace corvane {

Fallo aplicar_alarmas(BaseDatos& base, const std::vector<AlarmaPendiente>& alarmas,
                      std::size_t& hechas) {
    hechas = 0;
    while (hechas < alarmas.size()) {
        const AlarmaPendiente& primera = alarmas[hechas];
        if (!primera.ciclo.isEmpty()) {
            // A text that is no step (a queue damaged and recovered) is dropped.
            if (const std::optional<AccionAlarma> a = accion_de_texto(primera.ciclo))
                if (Fallo f = aplicar_accion(base, *a)) return f;
            ++hechas;
            continue;
        }
        std::size_t fin = hechas + 1;
        const auto igual = [&](const AlarmaPendiente& a) {
            return a.ciclo.isEmpty() && a.reconocimiento == primera.reconocimiento &&
                   (!a.reconocimiento || (a.fila.reconocida == primera.fila.reconocida &&
                                          a.fila.reconocidaEn == primera.fila.reconocidaEn));
        };
        while (fin < alarmas.size() &&
               fin - hechas < static_cast<std::size_t>(kAlarmasPorSentencia) && igual(alarmas[fin]))
            ++fin;
        Fallo f;
        if (primera.reconocimiento) {
            QStringList claves;
            for (std::size_t i = hechas; i < fin; ++i) claves << alarmas[i].fila.clave;
            f = reconocer_alarmas(base, claves, primera.fila.reconocida, primera.fila.reconocidaEn);
        } else {
            std::vector<FilaAlarma> filas;
            for (std::size_t i = hechas; i < fin; ++i) filas.push_back(alarmas[i].fila);
            f = guardar_alarmas(base, filas);
        }
        if (f) return f;
        hechas = fin;
    }
    return {};
}

} // namespace corvane
