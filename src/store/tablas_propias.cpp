#include "store/tablas_propias.h"

#include "store/esquema.h"
#include "store/motor.h"

namespace corvane::tablas_propias {

QString asegurar_postgresql(const QStringList& tablas, const QStringList& crear) {
    QString bloqueo = esquema::kBloqueoEsquema;
    bloqueo.replace(QStringLiteral("SELECT "), QStringLiteral("PERFORM "));
    QStringList faltan;
    for (const QString& t : tablas) faltan << QStringLiteral("to_regclass('%1') IS NULL").arg(t);
    return QStringLiteral("DO $b$BEGIN IF ") + faltan.join(QStringLiteral(" OR ")) +
           QStringLiteral(" THEN ") + bloqueo + QStringLiteral("; ") +
           crear.join(QStringLiteral("; ")) + QStringLiteral("; END IF; END$b$");
}

Fallo asegurar(BaseDatos& base, const QStringList& tablas, const QStringList& crear) {
    if (base.dialecto() == Dialecto::PostgreSQL)
        return base.ejecutar(asegurar_postgresql(tablas, crear));
    for (const QString& s : crear)
        if (Fallo f = base.ejecutar(s)) return f;
    return {};
}

Fallo presente(BaseDatos& base, const QString& tabla, bool& esta) {
    esta = false;
    const QString sentencia =
        base.dialecto() == Dialecto::PostgreSQL
            ? QStringLiteral("SELECT count(*) AS n FROM pg_class WHERE relname = ? AND "
                             "pg_table_is_visible(oid)")
            : QStringLiteral(
                  "SELECT count(*) AS n FROM sqlite_master WHERE type = 'table' AND name = ?");
    std::unique_ptr<Registros> r;
    if (Fallo f = base.abrirRegistros(sentencia, {tabla}, r)) return f;
    QVariant n;
    if (!r->alFinal())
        if (Fallo f = r->valor(QStringLiteral("n"), n)) return f;
    esta = n.toInt() > 0;
    return {};
}

} // namespace corvane::tablas_propias
