#include "store/esquema.h"

namespace corvane::esquema {
namespace {

QString crear_tabla(QString Columna::*tipo, const QString& clave) {
    QString s = QStringLiteral("CREATE TABLE IF NOT EXISTS TABLA_GENERAL (gral_id ") + clave;
    for (const Columna& c : kColumnas) s += QLatin1Char(',') + c.nombre + QLatin1Char(' ') + c.*tipo;
    return s + QLatin1Char(')');
}

} // namespace

QString lista_columnas() {
    QString s;
    for (const Columna& c : kColumnas) s += (s.isEmpty() ? QString() : QStringLiteral(",")) + c.nombre;
    return s;
}

QString insert_preparado() {
    QString s = QStringLiteral("INSERT INTO TABLA_GENERAL (") + lista_columnas() + QStringLiteral(") values(");
    for (size_t i = 0; i < kColumnas.size(); ++i) s += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return s + QLatin1Char(')');
}

QString crear_tabla_sqlite() { return crear_tabla(&Columna::tipoSQLite, QStringLiteral("INTEGER PRIMARY KEY")); }
QString crear_tabla_postgresql() {
    return crear_tabla(&Columna::tipoPostgreSQL, QStringLiteral("BIGSERIAL PRIMARY KEY"));
}

} // namespace corvane::esquema
