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

Fallo BaseDatos::cargarFilas(const QString& tabla, const QStringList& columnas, const ValoresTexto& valores) {
    QString sentencia = QStringLiteral("INSERT INTO ") + tabla + QStringLiteral(" (") +
                        columnas.join(QLatin1Char(',')) + QStringLiteral(") VALUES (");
    for (qsizetype i = 0; i < columnas.size(); ++i) sentencia += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    sentencia += QLatin1Char(')');
    const size_t n = static_cast<size_t>(columnas.size());
    for (size_t fila = 0; n > 0 && fila + n <= valores.cantidad(); fila += n) {
        QVariantList v;
        for (size_t i = fila; i < fila + n; ++i) {
            const std::string_view t = valores.valor(i);
            v << QVariant(QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size())));
        }
        if (Fallo f = ejecutar(sentencia, v)) return f;
    }
    return {};
}

} // namespace corvane
