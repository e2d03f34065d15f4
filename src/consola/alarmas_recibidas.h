#pragma once
// What the alarm table gets from the rows a console receives, in every
// receiving mode (windows, headless service, replay): each new alarm, and each
// restore of an alarm's account, partition and zone, attached to the alarms of
// theirs still open. Written through the store's alarm writes, so that a
// database that is down loses none.

#include <QString>

#include <vector>

#include "evento/filas.h"
#include "store/alarmas.h"

namespace corvane {

class BaseDatos;
class EscrituraAlarmas;

// The new alarms of `alarmas` (rows of an alarm class, as the receive handler
// tells them), received by workstation `puesto`, each with a key of its own.
std::vector<AlarmaPendiente> alarmas_nuevas(const std::vector<FilaEvento>& alarmas,
                                            const QString& puesto);

// The restore steps of `filas`: one for each restore of fire, panic, medical
// or burglary, at its moment.
std::vector<AlarmaPendiente> restauraciones(const std::vector<FilaEvento>& filas,
                                            const QString& puesto);

// What the rows received `filas` give the alarm table, in their order: a new
// alarm for each new event of an alarm class, a restore step for each restore
// of one (so a restore never reaches an alarm that came after it).
std::vector<AlarmaPendiente> escritos_recibidos(const std::vector<FilaEvento>& filas,
                                                const QString& puesto);

// Writes `escritos` through `escritura` (the store's queue), or straight to
// `base` when the store has none. Returns the failure met; what the queue holds
// waits for the drain loop.
Fallo escribir_alarmas(EscrituraAlarmas* escritura, BaseDatos* base,
                       const std::vector<AlarmaPendiente>& escritos);

// The alarm writes of the store `base` (null when it keeps no local queue).
EscrituraAlarmas* escritura_alarmas(BaseDatos* base);

} // namespace corvane
