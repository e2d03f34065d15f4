#include "abonados/esquema_abonados.h"

#include "store/esquema.h"

namespace corvane::esquema_abonados {

QStringList crear_tablas() {
    return {crear(kAbonados, kColumnasAbonados, kClaveAbonados),
            crear(kZonas, kColumnasZonas, kClaveZonas),
            crear(kContactos, kColumnasContactos, kClaveContactos),
            crear(kInstrucciones, kColumnasInstrucciones, kClaveInstrucciones)};
}

QString asegurar_postgresql() {
    QString bloqueo = esquema::kBloqueoEsquema;
    bloqueo.replace(QStringLiteral("SELECT "), QStringLiteral("PERFORM "));
    QStringList faltan;
    for (const QString& t : {kAbonados, kZonas, kContactos, kInstrucciones})
        faltan << QStringLiteral("to_regclass('%1') IS NULL").arg(t);
    return QStringLiteral("DO $b$BEGIN IF ") + faltan.join(QStringLiteral(" OR ")) +
           QStringLiteral(" THEN ") + bloqueo + QStringLiteral("; ") +
           crear_tablas().join(QStringLiteral("; ")) + QStringLiteral("; END IF; END$b$");
}

} // namespace corvane::esquema_abonados
