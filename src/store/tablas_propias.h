#pragma once
// Tables of our own beside the event table, on either engine: one column list
// each, the same types on both engines, and the statements built from it.

#include <QString>
#include <QStringList>

#include "common/fallo.h"

namespace corvane {

class BaseDatos;

namespace tablas_propias {

struct Columna {
    QString nombre;
    QString tipo;
};

template <class Columnas> QStringList nombres(const Columnas& columnas) {
    QStringList r;
    for (const Columna& c : columnas) r << c.nombre;
    return r;
}

// "a,b,c" of a column list.
template <class Columnas> QString lista(const Columnas& columnas) {
    return nombres(columnas).join(QLatin1Char(','));
}

// CREATE TABLE IF NOT EXISTS with the key `clave` (a column list) as PRIMARY KEY.
template <class Columnas>
QString crear(const QString& tabla, const Columnas& columnas, const QString& clave) {
    QString s = QStringLiteral("CREATE TABLE IF NOT EXISTS ") + tabla + QStringLiteral(" (");
    for (const Columna& c : columnas) s += c.nombre + QLatin1Char(' ') + c.tipo + QLatin1Char(',');
    return s + QStringLiteral("PRIMARY KEY (") + clave + QStringLiteral("))");
}

// A DO block for PostgreSQL that runs `crear` (the CREATE statements) under the
// schema lock, only when one of `tablas` is missing: on a shared server a
// CREATE, even one that does nothing, waits for other consoles' transactions.
QString asegurar_postgresql(const QStringList& tablas, const QStringList& crear);

// Runs `crear` on SQLite, or asegurar_postgresql on a server.
Fallo asegurar(BaseDatos& base, const QStringList& tablas, const QStringList& crear);

// True when the table `tabla` is there.
Fallo presente(BaseDatos& base, const QString& tabla, bool& esta);

} // namespace tablas_propias
} // namespace corvane
