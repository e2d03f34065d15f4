#pragma once
// The database routines. Each traps every failure of its own steps, logs its
// number with the routine's label through registrar_error, skips the rest of its
// steps and returns normally: the caller is never told.

#include <QString>

#include "store/definesBaseDatos.h"

namespace corvane {

// Clears every open flag; the references stay.
void inic_base_de_datos(ConjuntoBases& bases);

// Opens the database `ruta` (an SQLite file, created with its table when missing,
// or a postgresql:// URL) into database slot `indice`. On failure the slot keeps
// what it held. Label "abrir_base_de_datos".
void abrir_base_de_datos(const QString& ruta, qint16 indice, ConjuntoBases& bases);

// Runs one statement on the database of slot `indice`. Label "NuevoDato".
void NuevoDato(const QString& sentencia, qint16 indice, ConjuntoBases& bases);

// Runs a SELECT on database slot `indice`, parks its recordset in recordset slot
// `indiceRegistros` and returns the listing: one line per row, or "No hay
// registros para ese abonado". On failure it logs "buscar_ultima_pos_Error" and
// returns the lines built so far.
QString consultar_historial(const QString& sentencia, qint16 indice, qint16 indiceRegistros,
                            ConjuntoBases& bases);

} // namespace corvane
