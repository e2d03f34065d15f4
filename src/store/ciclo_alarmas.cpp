#include "store/ciclo_alarmas.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include "common/reloj.h"
#include "store/alarmas.h"
#include "store/esquema.h"
#include "store/funcionesBaseDatos.h"
#include "store/motor.h"
#include "store/tablas_propias.h"

namespace corvane {
namespace {

struct ColumnaCiclo {
    QString nombre;
    QString tipoSQLite;
    QString tipoPostgreSQL;
    QString FilaAlarma::*texto;
    bool momento;
};

// The handling's columns, after those of kColumnasAlarma; all NULL until the step.
const std::array<ColumnaCiclo, 7> kColumnasCiclo = {{
    {QStringLiteral("alar_estado"), QStringLiteral("VARCHAR(12)"), QStringLiteral("VARCHAR(12)"),
     &FilaAlarma::estado, false},
    {QStringLiteral("alar_operador_reconocimiento"), QStringLiteral("VARCHAR(32)"),
     QStringLiteral("VARCHAR(32)"), &FilaAlarma::operadorReconocimiento, false},
    {QStringLiteral("alar_cerrada"), QStringLiteral("TEXT"), QStringLiteral("TIMESTAMP(0)"),
     &FilaAlarma::cerrada, true},
    {QStringLiteral("alar_puesto_cierre"), QStringLiteral("VARCHAR(255)"),
     QStringLiteral("VARCHAR(255)"), &FilaAlarma::puestoCierre, false},
    {QStringLiteral("alar_operador_cierre"), QStringLiteral("VARCHAR(32)"),
     QStringLiteral("VARCHAR(32)"), &FilaAlarma::operadorCierre, false},
    {QStringLiteral("alar_resolucion"), QStringLiteral("VARCHAR(20)"),
     QStringLiteral("VARCHAR(20)"), &FilaAlarma::resolucion, false},
    {QStringLiteral("alar_restaurada"), QStringLiteral("TEXT"), QStringLiteral("TIMESTAMP(0)"),
     &FilaAlarma::restaurada, true},
}};

const QString kTablaNotas = QStringLiteral("corvane_notas_alarma");
// Both engines: the moment as text "yyyy-MM-dd HH:mm:ss", so that the order of
// notes is the order of their texts.
const std::array<tablas_propias::Columna, 6> kColumnasNota = {{
    {QStringLiteral("nota_id"), QStringLiteral("VARCHAR(40) NOT NULL")},
    {QStringLiteral("nota_alarma"), QStringLiteral("VARCHAR(40) NOT NULL")},
    {QStringLiteral("nota_momento"), QStringLiteral("VARCHAR(19) NOT NULL")},
    {QStringLiteral("nota_puesto"), QStringLiteral("VARCHAR(255) NOT NULL")},
    {QStringLiteral("nota_operador"), QStringLiteral("VARCHAR(32) NOT NULL")},
    {QStringLiteral("nota_texto"), QStringLiteral("TEXT NOT NULL")},
}};
const QString kIndiceNotas = QStringLiteral("CREATE INDEX IF NOT EXISTS indice_notas_alarma ON ") +
                             kTablaNotas + QStringLiteral(" (nota_alarma, nota_momento)");

// The state of a row, whichever version wrote it, as an SQL expression.
const QString kEstadoSql = QStringLiteral(
    "COALESCE(alar_estado, CASE WHEN alar_reconocida IS NULL THEN 'nueva' ELSE 'reconocida' END)");

QVariant nulo() {
    return QVariant(QMetaType(QMetaType::QString));
}
QVariant texto(const QString& s) {
    return s.isEmpty() ? nulo() : QVariant(s);
}

// A moment bound for comparison with a moment column of `base`.
QString marca_momento(const BaseDatos& base) {
    return base.dialecto() == Dialecto::PostgreSQL ? QStringLiteral("CAST(? AS TIMESTAMP)")
                                                   : QStringLiteral("?");
}

Fallo columna_presente(BaseDatos& base, const QString& columna, bool& presente) {
    std::unique_ptr<Registros> rs;
    const Fallo f =
        base.abrirRegistros(QStringLiteral("SELECT ") + columna + QStringLiteral(" FROM ") +
                                esquema::kTablaAlarmas + QStringLiteral(" WHERE 1=0"),
                            {}, rs);
    if (rs) rs->cerrar();
    presente = !f;
    return f.numero == fallos::kSentenciaRechazada ? Fallo{} : f;
}

Fallo guardar_nota(BaseDatos& base, const AccionAlarma& a) {
    if (a.nota.isEmpty()) return {};
    // The alarm table's trigger tells the other workstations of a step; a note
    // alone touches no alarm, so it tells them itself.
    if (base.dialecto() == Dialecto::PostgreSQL && a.tipo == AccionAlarma::Tipo::Nota)
        if (Fallo f =
                base.ejecutar(QStringLiteral("SELECT pg_notify(?, '')"), {esquema::kCanalAlarmas}))
            return f;
    return base.ejecutar(
        QStringLiteral("INSERT INTO ") + kTablaNotas + QStringLiteral(" (") +
            tablas_propias::lista(kColumnasNota) +
            QStringLiteral(") VALUES (?,?,?,?,?,?) ON CONFLICT (nota_id) DO NOTHING"),
        {a.idNota, a.clave, a.momento, a.puesto, a.operador, a.nota});
}

Fallo reconocer(BaseDatos& base, const AccionAlarma& a) {
    return base.ejecutar(
        QStringLiteral("UPDATE ") + esquema::kTablaAlarmas +
            QStringLiteral(" SET alar_reconocida=?,alar_puesto_reconocimiento=?,"
                           "alar_operador_reconocimiento=?,alar_estado='reconocida' "
                           "WHERE alar_clave=? AND alar_reconocida IS NULL"),
        {a.momento, a.puesto, texto(a.operador), a.clave});
}

} // namespace

QString codigo_estado(EstadoAlarma estado) {
    switch (estado) {
    case EstadoAlarma::Nueva:
        return QStringLiteral("nueva");
    case EstadoAlarma::Reconocida:
        return QStringLiteral("reconocida");
    case EstadoAlarma::Cerrada:
        return QStringLiteral("cerrada");
    }
    return {};
}

QString nombre_estado(EstadoAlarma estado) {
    const QString c = codigo_estado(estado);
    return c.left(1).toUpper() + c.mid(1);
}

EstadoAlarma estado_de(const FilaAlarma& fila) {
    if (fila.estado == QLatin1String("cerrada")) return EstadoAlarma::Cerrada;
    if (fila.estado == QLatin1String("reconocida") || !fila.reconocida.isEmpty())
        return EstadoAlarma::Reconocida;
    return EstadoAlarma::Nueva;
}

const Resolucion* resolucion_de(const QString& codigo) {
    for (const Resolucion& r : kResoluciones)
        if (r.codigo == codigo) return &r;
    return nullptr;
}

QString codigos_resolucion() {
    QStringList c;
    for (const Resolucion& r : kResoluciones) c << r.codigo;
    return c.join(QStringLiteral(", "));
}

namespace {
const std::array<QString, 5> kTipos = {QStringLiteral("reconocer"), QStringLiteral("nota"),
                                       QStringLiteral("cerrar"), QStringLiteral("reabrir"),
                                       QStringLiteral("restaurar")};
}

QString serializar(const AccionAlarma& a) {
    QJsonObject o{{QStringLiteral("tipo"), kTipos[static_cast<std::size_t>(a.tipo)]},
                  {QStringLiteral("clave"), a.clave},
                  {QStringLiteral("momento"), a.momento},
                  {QStringLiteral("puesto"), a.puesto},
                  {QStringLiteral("operador"), a.operador},
                  {QStringLiteral("resolucion"), a.resolucion},
                  {QStringLiteral("nota"), a.nota},
                  {QStringLiteral("idNota"), a.idNota},
                  {QStringLiteral("cierreVisto"), a.cierreVisto},
                  {QStringLiteral("abonado"), a.abonado},
                  {QStringLiteral("particion"), a.particion},
                  {QStringLiteral("zona"), a.zona}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<AccionAlarma> accion_de_texto(const QString& t) {
    const QJsonObject o = QJsonDocument::fromJson(t.toUtf8()).object();
    const auto tipo =
        std::find(kTipos.begin(), kTipos.end(), o.value(QStringLiteral("tipo")).toString());
    if (tipo == kTipos.end()) return std::nullopt;
    AccionAlarma a;
    a.tipo = static_cast<AccionAlarma::Tipo>(tipo - kTipos.begin());
    a.clave = o.value(QStringLiteral("clave")).toString();
    a.momento = o.value(QStringLiteral("momento")).toString();
    a.puesto = o.value(QStringLiteral("puesto")).toString();
    a.operador = o.value(QStringLiteral("operador")).toString();
    a.resolucion = o.value(QStringLiteral("resolucion")).toString();
    a.nota = o.value(QStringLiteral("nota")).toString();
    a.idNota = o.value(QStringLiteral("idNota")).toString();
    a.cierreVisto = o.value(QStringLiteral("cierreVisto")).toString();
    a.abonado = o.value(QStringLiteral("abonado")).toString();
    a.particion = o.value(QStringLiteral("particion")).toString();
    a.zona = o.value(QStringLiteral("zona")).toString();
    return a;
}

Fallo asegurar_ciclo_alarmas(BaseDatos& base) {
    if (Fallo f = asegurar_tabla_alarmas(base)) return f;
    QStringList faltan;
    for (const ColumnaCiclo& c : kColumnasCiclo) {
        bool presente = false;
        if (Fallo f = columna_presente(base, c.nombre, presente)) return f;
        if (!presente) faltan << c.nombre;
    }
    const bool pg = base.dialecto() == Dialecto::PostgreSQL;
    // A table of that name that is not ours is never changed.
    if (!faltan.isEmpty())
        if (Fallo f = comprobar_tabla_alarmas(base)) return f;
    if (!faltan.isEmpty()) {
        QStringList alter;
        for (const ColumnaCiclo& c : kColumnasCiclo)
            if (faltan.contains(c.nombre))
                alter << QStringLiteral("ALTER TABLE ") + esquema::kTablaAlarmas +
                             (pg ? QStringLiteral(" ADD COLUMN IF NOT EXISTS ")
                                 : QStringLiteral(" ADD COLUMN ")) +
                             c.nombre + QLatin1Char(' ') + (pg ? c.tipoPostgreSQL : c.tipoSQLite);
        if (pg) {
            QString bloqueo = esquema::kBloqueoEsquema;
            bloqueo.replace(QStringLiteral("SELECT "), QStringLiteral("PERFORM "));
            if (Fallo f =
                    base.ejecutar(QStringLiteral("DO $c$BEGIN ") + bloqueo + QStringLiteral("; ") +
                                  alter.join(QStringLiteral("; ")) + QStringLiteral("; END$c$")))
                return f;
        } else {
            for (qsizetype i = 0; i < alter.size(); ++i) {
                const Fallo f = base.ejecutar(alter[i]);
                bool presente = false;
                // Another process may have added it in between.
                if (f && (columna_presente(base, faltan[i], presente) || !presente)) return f;
            }
        }
    }
    bool notas = false;
    if (Fallo f = tablas_propias::presente(base, kTablaNotas, notas)) return f;
    if (notas) return {};
    return tablas_propias::asegurar(
        base, {kTablaNotas},
        {tablas_propias::crear(kTablaNotas, kColumnasNota, QStringLiteral("nota_id")),
         kIndiceNotas});
}

Fallo aplicar_accion(BaseDatos& base, const AccionAlarma& a) {
    if (Fallo f = asegurar_ciclo_alarmas(base)) return f;
    const QString tabla = esquema::kTablaAlarmas;
    switch (a.tipo) {
    case AccionAlarma::Tipo::Reconocer:
        return reconocer(base, a);
    case AccionAlarma::Tipo::Nota:
        return guardar_nota(base, a);
    case AccionAlarma::Tipo::Cerrar:
        if (Fallo f = reconocer(base, a)) return f;
        if (Fallo f = base.ejecutar(
                QStringLiteral("UPDATE ") + tabla +
                    QStringLiteral(
                        " SET alar_estado='cerrada',alar_cerrada=?,alar_puesto_cierre=?,"
                        "alar_operador_cierre=?,alar_resolucion=? WHERE alar_clave=? AND ") +
                    kEstadoSql + QStringLiteral("<>'cerrada'"),
                {a.momento, a.puesto, texto(a.operador), a.resolucion, a.clave}))
            return f;
        return guardar_nota(base, a);
    case AccionAlarma::Tipo::Reabrir:
        if (Fallo f = base.ejecutar(
                QStringLiteral("UPDATE ") + tabla +
                    QStringLiteral(
                        " SET alar_estado='reconocida',alar_cerrada=NULL,"
                        "alar_puesto_cierre=NULL,alar_operador_cierre=NULL,"
                        "alar_resolucion=NULL WHERE alar_clave=? AND alar_estado='cerrada' "
                        "AND alar_cerrada=") +
                    marca_momento(base),
                {a.clave, a.cierreVisto}))
            return f;
        return guardar_nota(base, a);
    case AccionAlarma::Tipo::Restaurar:
        return base.ejecutar(
            QStringLiteral("UPDATE ") + tabla +
                QStringLiteral(" SET alar_restaurada=? WHERE alar_numero_abonado=? AND "
                               "alar_particion=? AND alar_zona=? AND alar_recibida<=") +
                marca_momento(base) + QStringLiteral(" AND alar_restaurada IS NULL AND ") +
                kEstadoSql + QStringLiteral("<>'cerrada'"),
            {a.momento, a.abonado, a.particion, a.zona, a.momento});
    }
    return {};
}

Fallo leer_alarmas_ciclo(BaseDatos& base, const FiltroAlarmas& filtro,
                         std::vector<FilaAlarma>& alarmas) {
    alarmas.clear();
    if (Fallo f = asegurar_ciclo_alarmas(base)) return f;
    QString columnas = esquema::lista_columnas_alarma();
    for (const ColumnaCiclo& c : kColumnasCiclo) columnas += QLatin1Char(',') + c.nombre;
    const QString desde = QStringLiteral("SELECT ") + columnas + QStringLiteral(" FROM ") +
                          esquema::kTablaAlarmas + QStringLiteral(" WHERE ");
    QString porClave;
    QVariantList valores;
    if (!filtro.clave.isEmpty()) {
        porClave = filtro.clave.size() >= 36 ? QStringLiteral("alar_clave=? AND ")
                                             : QStringLiteral("alar_clave LIKE ? AND ");
        valores << (filtro.clave.size() >= 36 ? filtro.clave : filtro.clave + QLatin1Char('%'));
    }
    const auto leer = [&](const QString& consulta, const QVariantList& v) -> Fallo {
        std::unique_ptr<Registros> rs;
        if (Fallo f = base.abrirRegistros(consulta, v, rs)) return f;
        while (!rs->alFinal()) {
            FilaAlarma fila;
            const auto poner = [&](const QString& nombre, QString FilaAlarma::*campo,
                                   bool momento) -> Fallo {
                QVariant valor;
                if (Fallo f = rs->valor(nombre, valor)) return f;
                const QDateTime m = momento ? momento_guardado(valor) : QDateTime();
                fila.*campo = m.isValid() ? m.toString(kFormatoMomento) : valor.toString();
                return {};
            };
            Fallo f;
            for (const esquema::ColumnaAlarma& c : esquema::kColumnasAlarma)
                if (!f) f = poner(c.nombre, c.texto, c.momento);
            for (const ColumnaCiclo& c : kColumnasCiclo)
                if (!f) f = poner(c.nombre, c.texto, c.momento);
            if (!f) f = rs->siguiente();
            if (f) {
                rs->cerrar();
                return f;
            }
            alarmas.push_back(std::move(fila));
        }
        rs->cerrar();
        return {};
    };
    // By key, open and closed in one statement: two would see an alarm closed
    // between them twice.
    if (!filtro.clave.isEmpty() && filtro.abiertas && filtro.cerradas > 0)
        return leer(desde + porClave + QStringLiteral("1=1 ORDER BY alar_recibida, alar_id"),
                    valores);
    if (filtro.abiertas)
        if (Fallo f = leer(desde + porClave + kEstadoSql +
                               QStringLiteral("<>'cerrada' ORDER BY alar_recibida, alar_id"),
                           valores))
            return f;
    if (filtro.cerradas > 0) {
        QVariantList v = valores;
        v << filtro.cerradas;
        if (Fallo f = leer(desde + porClave + kEstadoSql +
                               QStringLiteral("='cerrada' ORDER BY alar_cerrada DESC, alar_id DESC "
                                              "LIMIT ?"),
                           v))
            return f;
    }
    return {};
}

Fallo leer_notas(BaseDatos& base, const QString& clave, std::vector<NotaAlarma>& notas) {
    notas.clear();
    bool presente = false;
    if (Fallo f = tablas_propias::presente(base, kTablaNotas, presente)) return f;
    if (!presente) return {};
    std::unique_ptr<Registros> rs;
    if (Fallo f =
            base.abrirRegistros(QStringLiteral("SELECT ") + tablas_propias::lista(kColumnasNota) +
                                    QStringLiteral(" FROM ") + kTablaNotas +
                                    QStringLiteral(" WHERE nota_alarma=? ORDER BY "
                                                   "nota_momento, nota_id"),
                                {clave}, rs))
        return f;
    while (!rs->alFinal()) {
        NotaAlarma n;
        QString* campos[] = {&n.id, &n.alarma, &n.momento, &n.puesto, &n.operador, &n.texto};
        std::size_t i = 0;
        for (const tablas_propias::Columna& c : kColumnasNota) {
            QVariant v;
            if (Fallo f = rs->valor(c.nombre, v)) {
                rs->cerrar();
                return f;
            }
            *campos[i++] = v.toString();
        }
        notas.push_back(std::move(n));
        if (Fallo f = rs->siguiente()) {
            rs->cerrar();
            return f;
        }
    }
    rs->cerrar();
    return {};
}

} // namespace corvane
