#pragma once
// The headless service: receives from a serial port through the same receive
// handler as the windows, with the online log on standard output and the status
// line on standard error, exactly as the replay of a capture, until SIGINT or
// SIGTERM. A silent receiver and a lost port are told on standard error, one
// "*** ... ***" line at each start and end.

#include "app/linea_comandos.h"

namespace corvane {

// Opens --puerto at --velocidad, then the event database as the main window does,
// and receives until SIGINT or SIGTERM; then finishes the bytes in hand, closes
// the port and the database and returns 0. A port that cannot be opened gives
// "Error al abrir puerto serie,verifique el numero de com" with the device and
// the system's reason on standard error and returns 2, before anything is
// created in the data folder; with --esperar-puerto such a port is told lost
// ("*** Puerto P perdido a las HH:mm:ss ***") and retried until it opens, as a
// port lost while open. Needs a QCoreApplication.
int modo_sin_ventana(const Opciones& o);

} // namespace corvane
