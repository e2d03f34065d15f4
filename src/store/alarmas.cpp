#include "store/alarmas.h"

#include <QDateTime>

#include <algorithm>

#include "common/registro_errores.h"
#include "common/reloj.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {
namespace {

// Writes of one statement.
constexpr int kAlarmasPorSentencia = 500;


// A text value of a statement: between single quotes, a quote inside doubled.
QString citar(QString valor) {
    valor.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + valor + QLatin1Char('\'');
}

QString valor(const FilaAlarma& fila, const esquema::ColumnaAlarma& c) {
    const QString& v = fila.*c.texto;
    if (c.reconocimiento && v.isEmpty()) return QStringLiteral("NULL");
    return citar(v);
}

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

// Runs `sentencia`, a write on the alarm table; when it fails because the table
// is missing, the table is created and the statement runs again.
Fallo escribir(BaseDatos& base, const QString& sentencia) {
    const Fallo f = base.ejecutar(sentencia);
    if (!f) return {};
    bool existe = true;
    if (existe_tabla(base, existe) || existe) return f;
    if (Fallo g = crear_tabla(base)) return g;
    return base.ejecutar(sentencia);
}

Fallo marcar_reconocidas(BaseDatos& base, const QString& condicion, const QString& momento,
                         const QString& puesto) {
    return escribir(base, QStringLiteral("UPDATE ") + esquema::kTablaAlarmas +
                              QStringLiteral(" SET alar_reconocida=") + citar(momento) +
                              QStringLiteral(",alar_puesto_reconocimiento=") + citar(puesto) +
                              QStringLiteral(" WHERE alar_reconocida IS NULL AND ") + condicion);
}

} // namespace

Fallo guardar_alarmas(BaseDatos& base, const std::vector<FilaAlarma>& alarmas) {
    if (alarmas.empty()) return {};
    QString s = QStringLiteral("INSERT INTO ") + esquema::kTablaAlarmas + QStringLiteral(" (") +
                esquema::lista_columnas_alarma() + QStringLiteral(") VALUES ");
    for (std::size_t i = 0; i < alarmas.size(); ++i) {
        s += i == 0 ? QStringLiteral("(") : QStringLiteral(",(");
        for (std::size_t k = 0; k < esquema::kColumnasAlarma.size(); ++k)
            s += (k == 0 ? QString() : QStringLiteral(",")) +
                 valor(alarmas[i], esquema::kColumnasAlarma[k]);
        s += QLatin1Char(')');
    }
    return escribir(base, s + QStringLiteral(" ON CONFLICT (alar_clave) DO NOTHING"));
}

Fallo reconocer_alarmas(BaseDatos& base, const QStringList& claves, const QString& momento,
                        const QString& puesto) {
    if (claves.isEmpty()) return {};
    QStringList citadas;
    for (const QString& c : claves) citadas << citar(c);
    return marcar_reconocidas(
        base, QStringLiteral("alar_clave IN (") + citadas.join(QLatin1Char(',')) + QLatin1Char(')'),
        momento, puesto);
}

namespace {

Fallo leer_alarmas(BaseDatos& base, const QString& condicion, std::vector<FilaAlarma>& alarmas) {
    alarmas.clear();
    std::unique_ptr<Registros> rs;
    const QString consulta = QStringLiteral("SELECT ") + esquema::lista_columnas_alarma() +
                             QStringLiteral(" FROM ") + esquema::kTablaAlarmas +
                             QStringLiteral(" WHERE ") + condicion;
    if (const Fallo f = base.abrirRegistros(consulta, rs)) {
        bool existe = true;
        if (existe_tabla(base, existe) || existe) return f;
        return {};
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
    return leer_alarmas(base,
                        (receptor.isEmpty() ? QString() : QStringLiteral("alar_puesto=") + citar(receptor) +
                                                              QStringLiteral(" AND ")) +
                            QStringLiteral("alar_reconocida IS NULL ORDER BY alar_recibida DESC, alar_id DESC"),
                        alarmas);
}

Fallo leer_alarmas_reconocidas(BaseDatos& base, int maximo, std::vector<FilaAlarma>& alarmas) {
    return leer_alarmas(base,
                        QStringLiteral("alar_reconocida IS NOT NULL ORDER BY alar_reconocida DESC, alar_id DESC "
                                       "LIMIT %1")
                            .arg(maximo),
                        alarmas);
}

} // namespace corvane

namespace corvane {

Fallo aplicar_alarmas(BaseDatos& base, const std::vector<AlarmaPendiente>& alarmas, std::size_t& hechas) {
    hechas = 0;
    while (hechas < alarmas.size()) {
        const AlarmaPendiente& primera = alarmas[hechas];
        std::size_t fin = hechas + 1;
        const auto igual = [&](const AlarmaPendiente& a) {
            return a.reconocimiento == primera.reconocimiento &&
                   (!a.reconocimiento || (a.fila.reconocida == primera.fila.reconocida &&
                                          a.fila.reconocidaEn == primera.fila.reconocidaEn));
        };
        while (fin < alarmas.size() && fin - hechas < static_cast<std::size_t>(kAlarmasPorSentencia) &&
               igual(alarmas[fin]))
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
