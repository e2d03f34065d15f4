#pragma once
// The register's four tables, beside the event table on either engine: one
// column list each, the same types on both engines (a moment of the register is
// the text "yyyy-MM-dd HH:mm:ss", empty when none, compared as text only), and
// the statements built from them. Every column is NOT NULL: an absent value is
// the empty text, or 0.

#include <QString>
#include <QStringList>

#include <array>

#include "store/tablas_propias.h"

namespace corvane::esquema_abonados {

using tablas_propias::Columna;
using tablas_propias::crear;
using tablas_propias::lista;
using tablas_propias::nombres;

inline const QString kAbonados = QStringLiteral("corvane_abonados");
inline const QString kZonas = QStringLiteral("corvane_zonas");
inline const QString kContactos = QStringLiteral("corvane_contactos");
inline const QString kInstrucciones = QStringLiteral("corvane_instrucciones");

inline const std::array<Columna, 11> kColumnasAbonados = {{
    {QStringLiteral("abon_cuenta"), QStringLiteral("VARCHAR(8) NOT NULL")},
    {QStringLiteral("abon_nombre"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("abon_direccion"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("abon_localidad"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("abon_telefono"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("abon_estado"), QStringLiteral("VARCHAR(16) NOT NULL")},
    {QStringLiteral("abon_en_pruebas_hasta"), QStringLiteral("VARCHAR(19) NOT NULL")},
    {QStringLiteral("abon_prueba_cada_min"), QStringLiteral("INTEGER NOT NULL")},
    {QStringLiteral("abon_notas"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("abon_modificado"), QStringLiteral("VARCHAR(19) NOT NULL")},
    {QStringLiteral("abon_modificado_por"), QStringLiteral("VARCHAR(255) NOT NULL")},
}};
inline const QString kClaveAbonados = QStringLiteral("abon_cuenta");

// A zone registered with an empty partition stands for every partition.
inline const std::array<Columna, 4> kColumnasZonas = {{
    {QStringLiteral("zona_cuenta"), QStringLiteral("VARCHAR(8) NOT NULL")},
    {QStringLiteral("zona_particion"), QStringLiteral("VARCHAR(8) NOT NULL")},
    {QStringLiteral("zona_zona"), QStringLiteral("VARCHAR(8) NOT NULL")},
    {QStringLiteral("zona_descripcion"), QStringLiteral("TEXT NOT NULL")},
}};
inline const QString kClaveZonas = QStringLiteral("zona_cuenta,zona_particion,zona_zona");

// cont_hash: crypto_pwhash_str's text of the spoken password; empty: none.
inline const std::array<Columna, 6> kColumnasContactos = {{
    {QStringLiteral("cont_cuenta"), QStringLiteral("VARCHAR(8) NOT NULL")},
    {QStringLiteral("cont_orden"), QStringLiteral("INTEGER NOT NULL")},
    {QStringLiteral("cont_nombre"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("cont_telefono"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("cont_relacion"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("cont_hash"), QStringLiteral("VARCHAR(255) NOT NULL")},
}};
inline const QString kClaveContactos = QStringLiteral("cont_cuenta,cont_orden");

// inst_cuenta "*": for every account without its own instruction of the class.
inline const std::array<Columna, 3> kColumnasInstrucciones = {{
    {QStringLiteral("inst_cuenta"), QStringLiteral("VARCHAR(8) NOT NULL")},
    {QStringLiteral("inst_clase"), QStringLiteral("VARCHAR(40) NOT NULL")},
    {QStringLiteral("inst_texto"), QStringLiteral("TEXT NOT NULL")},
}};
inline const QString kClaveInstrucciones = QStringLiteral("inst_cuenta,inst_clase");

// The statements that create the four tables, in order.
QStringList crear_tablas();
// A DO block for PostgreSQL: the tables created under the schema lock, only
// when one is missing (on a shared server a CREATE, even one that does
// nothing, waits for other consoles' transactions).
QString asegurar_postgresql();

} // namespace corvane::esquema_abonados
