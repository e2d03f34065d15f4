#pragma once
// The search button (Command3, "Realizar Busqueda"): one account, one day,
// optionally at most one signal level and one origin.

#include <QDate>
#include <QString>

#include <functional>

#include "common/caja_texto.h"
#include "common/mensajes.h"
#include "store/definesBaseDatos.h"

namespace corvane {

inline const QString kMensajeCuentaVacia = QStringLiteral("Debe llenar el campo usuario");

// Reads the account box, the two list indexes (see sentencia_historial) and the
// day; an empty account shows "Debe llenar el campo usuario" titled "Brisca" and
// runs nothing; otherwise the result box receives the operator's listing of
// database slot 0. A failed query is logged and leaves in the box what was listed
// before it; `fallo`, when given, receives the failure (the command line tells it).
void Command3_Click(const CajaTexto& text3, int senal, int origen, const QDate& dia,
                    CajaTexto& text2, CajaMensajes& mensajes, ConjuntoBases& bases,
                    Fallo* fallo = nullptr);

// The export button ("Exportar…") beside it: the same account and day, with
// the origin list's index, every column as CSV (exportacion.h) into a file that
// `elegir` asks for, offering `propuesto` (empty: cancelled, nothing done). An
// empty account shows "Debe llenar el campo usuario" as the search does; then a
// message says how many events went to the file, or why none did (the file is
// only replaced once written whole).
void Exportar_Click(const CajaTexto& text3, int origen, const QDate& dia,
                    const std::function<QString(const QString& propuesto)>& elegir, CajaMensajes& mensajes,
                    ConjuntoBases& bases);

} // namespace corvane
