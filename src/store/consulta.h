#pragma once
// The account history query behind "Realizar Busqueda": one account, one day,
// optionally at most one signal level and one origin.

#include <QDate>
#include <QString>

#include "common/caja_texto.h"
#include "common/mensajes.h"
#include "store/definesBaseDatos.h"

namespace corvane {

inline const QString kMensajeCuentaVacia = QStringLiteral("Debe llenar el campo usuario");

// The SELECT for `cuenta` on `dia`. `senal` is the index of the signal list (0: no
// condition, k: level at most k); `origen` the index of the origin list (0: no
// condition, 1: direct, 1 + n: repeater n). The day runs from 00:00:00 to 23:59:59
// of `dia` itself, whatever the machine's locale.
QString sentencia_historial(const QString& cuenta, int senal, int origen, const QDate& dia);

// The logic of the search button: reads the account box, the two list indexes and
// the day; an empty account shows "Debe llenar el campo usuario" and runs nothing;
// otherwise the result box receives the listing of database slot 0.
void Command3_Click(const CajaTexto& text3, int senal, int origen, const QDate& dia,
                    CajaTexto& text2, CajaMensajes& mensajes, ConjuntoBases& bases);

} // namespace corvane
