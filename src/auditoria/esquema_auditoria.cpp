#include "auditoria/esquema_auditoria.h"

#include "store/esquema.h"

namespace corvane::esquema_auditoria {
namespace {

QString crear_tabla() {
    QString s = QStringLiteral("CREATE TABLE IF NOT EXISTS ") + kTabla + QStringLiteral(" (");
    QStringList columnas;
    for (const Columna& c : kColumnas) columnas << c.nombre + QLatin1Char(' ') + c.tipo;
    columnas << kColumnaOrigen.nombre + QLatin1Char(' ') + kColumnaOrigen.tipo;
    return s + columnas.join(QLatin1Char(',')) + QLatin1Char(')');
}

} // namespace

QString lista() {
    QStringList r;
    for (const Columna& c : kColumnas) r << c.nombre;
    return r.join(QLatin1Char(','));
}

QString insertar() {
    QString marcas = QStringLiteral("?");
    for (size_t i = 0; i < kColumnas.size(); ++i) marcas += QStringLiteral(",?");
    return QStringLiteral("INSERT INTO ") + kTabla + QStringLiteral(" (") + lista() +
           QLatin1Char(',') + kColumnaOrigen.nombre + QStringLiteral(") VALUES (") + marcas +
           QLatin1Char(')');
}

QStringList crear_sqlite() {
    QStringList r{crear_tabla(), kCrearIndiceMomento};
    for (const QString& operacion : {QStringLiteral("UPDATE"), QStringLiteral("DELETE")})
        r << QStringLiteral("CREATE TRIGGER IF NOT EXISTS corvane_auditoria_sin_%1 BEFORE %2 ON ")
                     .arg(operacion.toLower(), operacion) +
                 kTabla + QStringLiteral(" BEGIN SELECT RAISE(ABORT, '") + kRechazo +
                 QStringLiteral(" (%1 rechazado)'); END").arg(operacion);
    return r;
}

QString asegurar_postgresql() {
    QString bloqueo = esquema::kBloqueoEsquema;
    bloqueo.replace(QStringLiteral("SELECT "), QStringLiteral("PERFORM "));
    const QString falta = QStringLiteral("to_regclass('%1') IS NULL").arg(kTabla);
    // A trigger for each statement: even one that would touch no entry is refused.
    const QString crear =
        crear_tabla() + QStringLiteral("; ") + kCrearIndiceMomento + QStringLiteral("; ") +
        kCrearIndiceOrigen +
        QStringLiteral("; CREATE OR REPLACE FUNCTION corvane_auditoria_inmutable() RETURNS trigger "
                       "LANGUAGE plpgsql AS $f$BEGIN RAISE EXCEPTION '") +
        kRechazo +
        QStringLiteral(" (% rechazado)', TG_OP; END$f$; "
                       "CREATE TRIGGER corvane_auditoria_sin_cambios BEFORE UPDATE OR DELETE OR "
                       "TRUNCATE ON ") +
        kTabla +
        QStringLiteral(" FOR EACH STATEMENT EXECUTE PROCEDURE corvane_auditoria_inmutable()");
    const QString sinOrigen =
        QStringLiteral("NOT EXISTS (SELECT 1 FROM pg_attribute WHERE attrelid = to_regclass('%1') "
                       "AND attname = '%2' AND NOT attisdropped)")
            .arg(kTabla, kColumnaOrigen.nombre);
    const QString origen = kAgregarOrigen + QStringLiteral("; ") + kCrearIndiceOrigen;
    return QStringLiteral("DO $b$BEGIN IF ") + falta + QStringLiteral(" THEN ") + bloqueo +
           QStringLiteral("; IF ") + falta + QStringLiteral(" THEN ") + crear +
           QStringLiteral("; END IF; END IF; IF ") + sinOrigen + QStringLiteral(" THEN ") +
           bloqueo + QStringLiteral("; IF ") + sinOrigen + QStringLiteral(" THEN ") + origen +
           QStringLiteral("; END IF; END IF; END$b$");
}

} // namespace corvane::esquema_auditoria
