#include "store/motor.h"

#include "store/motor_postgresql.h"
#include "store/motor_sqlite.h"

namespace corvane {

Fallo abrir_motor(const QString& ruta, std::unique_ptr<BaseDatos>& base) {
    base.reset();
    return es_url_postgresql(ruta) ? abrir_postgresql(ruta, base) : abrir_sqlite(ruta, base);
}

} // namespace corvane

namespace corvane {

Fallo BaseDatos::cargarFilas(const QString& tabla, const QStringList& columnas,
                             const std::vector<QStringList>& filas) {
    QString sentencia = QStringLiteral("INSERT INTO ") + tabla + QStringLiteral(" (") +
                        columnas.join(QLatin1Char(',')) + QStringLiteral(") VALUES (");
    for (qsizetype i = 0; i < columnas.size(); ++i) sentencia += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    sentencia += QLatin1Char(')');
    for (const QStringList& fila : filas) {
        QVariantList valores;
        valores.reserve(fila.size());
        for (const QString& v : fila) valores << QVariant(v.isNull() ? QStringLiteral("") : v);
        if (Fallo f = ejecutar(sentencia, valores)) return f;
    }
    return {};
}

} // namespace corvane
