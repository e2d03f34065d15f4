#pragma once
// The two lines of a report, built from its row alone: the same for an event
// received here and for a row a viewer reads from a central server.

#include <QString>

#include "evento/filas.h"

namespace corvane {

struct LineasInforme {
    // The followed account's log: "Cuenta=0005  Señal=16/16  Or=a  Ev=E130
    // Part=01  Zona=005  14:27:13"; a ten-character packet carries no partition
    // and no zone.
    QString detallada;
    // The online log: "Cuenta=0005  Señal=16/16  Origen=a  14:27:13".
    QString corta;
};

// Both lines of `fila`, each ended by CR LF, at the time of its moment.
LineasInforme lineas_informe(const FilaEvento& fila);

} // namespace corvane
