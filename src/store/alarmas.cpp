#include "store/alarmas.h"

#include <QDateTime>

#include "common/reloj.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {
namespace {

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
    const QString consulta = base.dialecto() == Dialecto::PostgreSQL
                                 ? QStringLiteral("SELECT CASE WHEN to_regclass('tabla_alarmas') "
                                                  "IS NULL THEN 0 ELSE 1 END AS existe")
                                 : QStringLiteral("SELECT count(*) AS existe FROM sqlite_master "
                                                  "WHERE type='table' AND name='TABLA_ALARMAS'");
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
    return base.ejecutar(QStringLiteral("DO $$BEGIN ") + bloqueo + QStringLiteral("; ") +
                         esquema::crear_tabla_alarmas_postgresql() + QStringLiteral("; ") +
                         esquema::kCrearIndiceAlarmas + QStringLiteral("; END$$"));
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
    return escribir(base, QStringLiteral("UPDATE TABLA_ALARMAS SET alar_reconocida=") +
                              citar(momento) + QStringLiteral(",alar_puesto_reconocimiento=") +
                              citar(puesto) +
                              QStringLiteral(" WHERE alar_reconocida IS NULL AND ") + condicion);
}

} // namespace

Fallo guardar_alarmas(BaseDatos& base, const std::vector<FilaAlarma>& alarmas) {
    if (alarmas.empty()) return {};
    QString s = QStringLiteral("INSERT INTO TABLA_ALARMAS (") + esquema::lista_columnas_alarma() +
                QStringLiteral(") VALUES ");
    for (std::size_t i = 0; i < alarmas.size(); ++i) {
        s += i == 0 ? QStringLiteral("(") : QStringLiteral(",(");
        for (std::size_t k = 0; k < esquema::kColumnasAlarma.size(); ++k)
            s += (k == 0 ? QString() : QStringLiteral(",")) +
                 valor(alarmas[i], esquema::kColumnasAlarma[k]);
        s += QLatin1Char(')');
    }
    return escribir(base, s);
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

Fallo reconocer_alarmas_de(BaseDatos& base, const QString& receptor, const QString& momento,
                           const QString& puesto) {
    return marcar_reconocidas(base, QStringLiteral("alar_puesto=") + citar(receptor), momento,
                              puesto);
}

Fallo leer_alarmas_sin_reconocer(BaseDatos& base, const QString& receptor,
                                 std::vector<FilaAlarma>& alarmas) {
    alarmas.clear();
    std::unique_ptr<Registros> rs;
    const QString consulta =
        QStringLiteral("SELECT ") + esquema::lista_columnas_alarma() +
        QStringLiteral(" FROM TABLA_ALARMAS WHERE alar_puesto=") + citar(receptor) +
        QStringLiteral(" AND alar_reconocida IS NULL ORDER BY alar_recibida DESC, alar_id DESC");
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

} // namespace corvane
