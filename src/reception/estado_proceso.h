#pragma once
// The console's process-wide state: one object, owned by main and passed by
// reference to whoever needs it.

#include <QString>

#include <vector>

#include "decoding/moduloCid.h"
#include "reception/tramas.h"
#include "store/definesBaseDatos.h"

namespace corvane {

struct EstadoProceso {
    QString bufferRx;             // characters of the packet being collected
    QString estadoRx = kEstadoN;  // framing state: "C", "D" or "N"
    std::vector<EventoCid> eventosCid; // records of the last accepted long packet
    bool verCuentaOnline = false; // the online account window is open
    ConjuntoBases bases;          // database handle set; slot 0 is the event database
    QString puesto;               // this workstation's name in the alarm table
};

} // namespace corvane
