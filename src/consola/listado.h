#pragma once
// The forms of the listing, shared by the query button, the export and the
// command line: the operator's lines, the detailed lines, and CSV for auditors
// and spreadsheets.

#include <QDateTime>
#include <QString>

#include <vector>

#include "evento/filas.h"
#include "store/definesBaseDatos.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {

inline const QString kSinRegistros = QStringLiteral("No hay registros para ese abonado");

enum class FormaListado {
    // "Cuenta=02bf  Señal=5  Origen=Rep 3   Hora=06/12/2026 14:27:13" and CR LF per
    // row; "No hay registros para ese abonado" when there are none.
    Operador,
    // The operator's line, then the event's own line (exportacion.h, README).
    Detalle,
    // Every stored column, the event's description and class (exportacion.h).
    Csv,
};

// The operator's line of one row; the moment as dd/MM/yyyy HH:mm:ss, or as
// stored when it is not a moment.
QString linea_historial(const FilaHistorial& f);

// Runs the SELECT `sentencia` on database slot `indice`, parks its recordset in
// slot `indiceRegistros` and returns the operator's listing. A failure is logged
// under "buscar_ultima_pos_Error" and leaves what was listed before it; `fallo`,
// when given, receives it.
QString consultar_historial(const QString& sentencia, qint16 indice, qint16 indiceRegistros,
                            ConjuntoBases& bases, Fallo* fallo = nullptr);

// The events of account `cuenta` stored from `desde` to `hasta`, the latest
// `maximo` of them, in the order of their moments: what an alarm's account did
// around it (the alarm window's detail). An account that is not one selects none.
Fallo leer_eventos_recientes(BaseDatos& base, const QString& cuenta, const QDateTime& desde,
                             const QDateTime& hasta, std::size_t maximo,
                             std::vector<FilaEvento>& eventos);

} // namespace corvane
