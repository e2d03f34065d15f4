#include "store/consulta.h"

#include "common/comun.h"
#include "common/reglas.h"
#include "store/esquema.h"

namespace corvane {
namespace {

// "YYYY/MM/DD hh:mm:ss" of the query literals, built from the date itself.
QString literal_momento(const QDate& dia, const char* hora) {
    return dia.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char(' ') + QLatin1String(hora);
}

// A list index written as the statement carries it: through the two-digit
// decimal conversion and back to a number without leading zeros.
QString valor_filtro(int valor) {
    return QString::number(convertir_base_con_ceros(QString::number(valor), 10, 10, 2).toInt());
}

// The account's condition. The account is written into the text as the
// statement's documented form has it: only an account of 0-9 and b-f (the
// rule every account box and --consultar check) reaches it; anything else
// selects no row.
QString condicion_cuenta(const QString& cuenta) {
    if (!cuenta_valida(cuenta)) return QStringLiteral("(1=0)");
    return QStringLiteral("(gral_numero_abonado='") + cuenta + QStringLiteral("')");
}

} // namespace

QString sentencia_historial(const QString& cuenta, int senal, int origen, const QDate& dia) {
    QString s = QStringLiteral("select * from ") + esquema::kTabla + QStringLiteral(" where (") +
                condicion_cuenta(cuenta) + QStringLiteral(" and ") +
                QStringLiteral("(gral_hora_fecha>=#") + literal_momento(dia, "00:00:00") +
                QStringLiteral("#) and ") + QStringLiteral("(gral_hora_fecha<=#") +
                literal_momento(dia, "23:59:59");
    const QString condicionNivel = QStringLiteral("(gral_nivel_señal<=") + valor_filtro(senal) + QStringLiteral(")");
    const QString condicionOrigen = QStringLiteral("(gral_origen='") +
                                    valor_filtro(origen_filtrado(origen)) + QStringLiteral("')");
    if (senal == 0 && origen == kOrigenesTodos) {
        s += QStringLiteral("#)");
    } else {
        s += QStringLiteral("#) and ");
        if (senal != 0 && origen != kOrigenesTodos)
            s += condicionNivel + QStringLiteral(" and ") + condicionOrigen;
        else if (senal != 0) s += condicionNivel;
        else s += condicionOrigen;
    }
    return s + QStringLiteral(") order by gral_hora_fecha asc");
}

QString sentencia_intervalo(const ConsultaIntervalo& c) {
    QString s = QStringLiteral("select ") + esquema::lista_columnas() + QStringLiteral(" from ") +
                esquema::kTabla + QStringLiteral(" where (");
    if (!c.cuenta.isEmpty()) s += condicion_cuenta(c.cuenta) + QStringLiteral(" and ");
    s += QStringLiteral("(gral_hora_fecha>=#") + literal_momento(c.desde, "00:00:00") + QStringLiteral("#) and ") +
         QStringLiteral("(gral_hora_fecha<=#") + literal_momento(c.hasta, "23:59:59") + QStringLiteral("#)");
    if (c.senal != 0)
        s += QStringLiteral(" and (gral_nivel_señal<=") + valor_filtro(c.senal) +
             QStringLiteral(")");
    if (c.origen != kOrigenesTodos)
        s += QStringLiteral(" and (gral_origen='") + valor_filtro(origen_filtrado(c.origen)) +
             QStringLiteral("')");
    return s + QStringLiteral(") order by gral_hora_fecha asc, gral_id asc");
}

QString sentencia_columnas() {
    return QStringLiteral("select ") + esquema::lista_columnas() + QStringLiteral(" from ") +
           esquema::kTabla + QStringLiteral(" where 1=0");
}

} // namespace corvane
