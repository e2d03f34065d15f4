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
#include "common/registro_errores.h"
#include "store/esquema.h"
#include "store/motor.h"

namespace corvane {

// The failure of an alarm write or read with no database at hand.
inline const Fallo kSinBaseAlarmas{fallos::kSinObjeto,
                                   QStringLiteral("no hay base de datos abierta")};

// The cause of a failure of the alarm table in our words, for the operator: a
// table of that name with other columns says so and names the columns it
// lacks; any other failure is told by its number's text.
QString causa_alarmas(const Fallo& f);

// Creates the alarm table and its index when missing.
Fallo asegurar_tabla_alarmas(BaseDatos& base);
// Fails, with the cause in our words (causa_alarmas), when the table of that
// name lacks columns of ours: an operator's table, never changed.
Fallo comprobar_tabla_alarmas(BaseDatos& base);

// Stores `alarmas` (not acknowledged: their acknowledgement fields empty) in one
// statement; an alarm whose key the table holds already is left as it is.
Fallo guardar_alarmas(BaseDatos& base, const std::vector<FilaAlarma>& alarmas);

// Marks the alarms of `claves` as acknowledged at `momento` ("yyyy-MM-dd
// HH:mm:ss") by workstation `puesto`. An alarm acknowledged already keeps its
// first acknowledgement.
Fallo reconocer_alarmas(BaseDatos& base, const QStringList& claves, const QString& momento,
                        const QString& puesto);

// The alarms that workstation `receptor` (empty: any) received and nobody has
// acknowledged, newest first. A database without the alarm table has none.
Fallo leer_alarmas_sin_reconocer(BaseDatos& base, const QString& receptor,
                                 std::vector<FilaAlarma>& alarmas);
// The last `maximo` alarms acknowledged, by any workstation, the latest
// acknowledgement first.
Fallo leer_alarmas_reconocidas(BaseDatos& base, int maximo, std::vector<FilaAlarma>& alarmas);

// A write of the alarm table: a new alarm, or its acknowledgement.
struct AlarmaPendiente {
    qint64 secuencia = 0; // its place in the local queue, where it waits
    // false: a new alarm (the whole row); true: its acknowledgement (the key, the
    // moment and the workstation of the acknowledgement).
    bool reconocimiento = false;
    FilaAlarma fila;
    // A step of the alarm's handling (store/ciclo_alarmas.h) as its text; when
    // not empty it is the write, and `reconocimiento` and `fila` are unused.
    QString ciclo{};

    bool operator==(const AlarmaPendiente&) const = default;
};

// Applies `alarmas` to `base` in order, a run of new alarms, or of
// acknowledgements of one moment and workstation, in one statement. `hechas`:
// how many the table holds when it stops at a failure. Each write is idempotent
// (an alarm is inserted once by its key, an acknowledgement marks only an alarm
// not acknowledged yet), so one applied twice does no harm.
Fallo aplicar_alarmas(BaseDatos& base, const std::vector<AlarmaPendiente>& alarmas,
                      std::size_t& hechas);

} // namespace corvane
