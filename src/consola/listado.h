#pragma once
// The two forms of an account's listing, shared by the query button and the
// command line: the operator's lines, and CSV for auditors and spreadsheets.

#include <QString>

#include "store/definesBaseDatos.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {

inline const QString kSinRegistros = QStringLiteral("No hay registros para ese abonado");
inline const QString kCabeceraCsv = QStringLiteral("cuenta,nivel,origen,momento\r\n");

enum class FormaListado {
    // "Cuenta=02bf  Señal=5  Origen=Rep 3   Hora=06/12/2026 14:27:13" and CR LF per
    // row; "No hay registros para ese abonado" when there are none.
    Operador,
    // kCabeceraCsv, then "02bf,5,3,2026-12-06T14:27:13" and CR LF per row; only the
    // header when there are none.
    Csv,
};

// The operator's line of one row; the moment as dd/MM/yyyy HH:mm:ss, or as
// stored when it is not a moment.
QString linea_historial(const FilaHistorial& f);

// The CSV line of one row: the moment in ISO form; a field holding a comma or a
// double quote goes between double quotes, its quotes doubled.
QString linea_csv(const FilaHistorial& f);

// Runs the SELECT `sentencia` on database slot `indice`, parks its recordset in
// slot `indiceRegistros` and returns the listing in `forma`. A failure is logged
// under "buscar_ultima_pos_Error" and leaves what was listed before it.
QString consultar_historial(const QString& sentencia, qint16 indice, qint16 indiceRegistros,
                            ConjuntoBases& bases, FormaListado forma = FormaListado::Operador);

} // namespace corvane
