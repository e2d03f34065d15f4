#pragma once
// The store of the alarm table (TABLA_ALARMAS, next to TABLA_GENERAL on the same
// database, either engine): new alarms, their acknowledgement, and the alarms a
// workstation has not acknowledged yet. Every statement goes through the engine
// interface as one statement text, so whatever stands behind BaseDatos (a file, a
// server) serves it; the table and its index are created the first time a write
// finds them missing. Each routine runs on its own, outside any batch of event
// rows, and returns its failure.

#include <QStringList>

#include <vector>

#include "common/fallo.h"
#include "store/esquema.h"
#include "store/motor.h"

namespace corvane {

// Stores `alarmas` (not acknowledged: their acknowledgement fields empty) in one
// statement.
Fallo guardar_alarmas(BaseDatos& base, const std::vector<FilaAlarma>& alarmas);

// Marks the alarms of `claves` as acknowledged at `momento` ("yyyy-MM-dd
// HH:mm:ss") by workstation `puesto`. An alarm acknowledged already keeps its
// first acknowledgement.
Fallo reconocer_alarmas(BaseDatos& base, const QStringList& claves, const QString& momento,
                        const QString& puesto);
// The same for every alarm that workstation `receptor` received and nobody has
// acknowledged yet.
Fallo reconocer_alarmas_de(BaseDatos& base, const QString& receptor, const QString& momento,
                           const QString& puesto);

// The alarms that workstation `receptor` received and nobody has acknowledged,
// newest first. A database without the alarm table has none.
Fallo leer_alarmas_sin_reconocer(BaseDatos& base, const QString& receptor,
                                 std::vector<FilaAlarma>& alarmas);

} // namespace corvane
